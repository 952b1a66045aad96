/* How many cells a code point takes on a terminal, from the library's own
 * table of Unicode's data rather than the C library's wcwidth, which differs
 * from system to system and is missing on Windows. */
#ifndef TREMLOX_SCREEN_GLYPH_KINDS_H
#define TREMLOX_SCREEN_GLYPH_KINDS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum glyph_kind {
    glyph_narrow,  /* one cell */
    glyph_wide,    /* two cells: East Asian Width W or F, the wide emoji */
    glyph_joining, /* no cell of its own: a mark, ZWJ, a variation selector */
    glyph_dropped  /* never drawn: the bidirectional controls */
};

/* The kind of `code_point`; anything beyond U+10FFFF is narrow. Control
 * codes are narrow too: the drawing handles them before it asks. */
enum glyph_kind tremlox__glyph_kind(uint32_t code_point);

#ifdef __cplusplus
}
#endif

#endif
