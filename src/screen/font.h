/* Console fonts as the painter reads them: glyph bitmaps of one size, and
 * which glyph shows each code point. */
#ifndef TREMLOX_SCREEN_FONT_H
#define TREMLOX_SCREEN_FONT_H

#include <tremlox/screen.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One code point and the glyph that shows it. */
struct tremlox__font_mapping {
    uint32_t code_point;
    uint32_t glyph;
};

struct tremlox_font {
    unsigned width;  /* pixels, at most TREMLOX_FONT_MAX_WIDTH */
    unsigned height; /* pixels, at most TREMLOX_FONT_MAX_HEIGHT */
    unsigned row_bytes; /* bytes of a glyph's pixel row: (width + 7) / 8 */
    uint32_t glyph_count;
    /* glyph_count glyphs of `height` rows of `row_bytes`, the leftmost
     * pixel in the top bit of a row's first byte. */
    const unsigned char *bitmaps;
    /* Sorted by code point, each at most once. */
    const struct tremlox__font_mapping *mappings;
    size_t mapping_count;
    void *owned; /* what tremlox_font_free frees; NULL for the built-in font */
};

#define tremlox__no_glyph UINT32_C(0xffffffff)

/* The built-in 8x16 font. */
const struct tremlox_font *tremlox__builtin_font(void);

/* The glyph that shows `code_point`, or tremlox__no_glyph. */
uint32_t tremlox__font_glyph(const struct tremlox_font *font, uint32_t code_point);

/* The rows of glyph `glyph` (below glyph_count). */
static inline const unsigned char *tremlox__font_bitmap(const struct tremlox_font *font,
                                                        uint32_t glyph) {
    return font->bitmaps + (size_t)glyph * font->height * font->row_bytes;
}

#ifdef __cplusplus
}
#endif

#endif
