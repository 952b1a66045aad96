/* Paints a grid in the pixels of a console font: cells in, pixels out.
 *
 * The picture is painted band by band into the caller's buffer. Each cell
 * row is looked up once (glyphs, marks, colours, attributes) for a chunk of
 * cells at a time, so the scratch is a small array on the stack whatever
 * the picture's size; each font row is then painted once, and the pixel
 * rows that repeat it (the scale) are copied. */
#include "font.h"
#include "grid.h"

#include <errno.h>
#include <stddef.h>
#include <string.h>

/* Version 1.4's members end with the palette; no caller knows fewer, and a
 * `size` of 0 (a struct set to all zeros) reads as far. */
static const size_t first_version_size =
    offsetof(struct tremlox_picture_options, palette) + sizeof(const uint32_t *);

enum { largest_scale = 8, cells_per_chunk = 64 };

/* The VGA card's colours of the terminal's own where the caller gives none. */
static const uint32_t vga_light_grey = 0xaaaaaau;
static const uint32_t vga_black = 0x000000u;

/* A colour the caller gives: 0 or TREMLOX_RGB. */
static bool is_caller_colour(tremlox_colour colour) {
    return colour == 0 || (TREMLOX_COLOUR_IS_RGB(colour) && colour <= 0x1ffffffu);
}

static bool read_options(const struct tremlox_picture_options *given,
                         struct tremlox_picture_options *options) {
    const struct tremlox_picture_options defaults = TREMLOX_PICTURE_OPTIONS_INIT;
    size_t size;
    *options = defaults;
    if (given == NULL)
        return true;
    size = given->size == 0 ? first_version_size : given->size;
    if (size < first_version_size)
        return false;
    memcpy(options, given, size < sizeof *options ? size : sizeof *options);
    options->size = sizeof *options;
    if (options->scale == 0)
        options->scale = 1;
    return (options->letter_spacing == 0 || options->letter_spacing == 8 ||
            options->letter_spacing == 9) &&
           options->scale <= largest_scale && is_caller_colour(options->terminal_foreground) &&
           is_caller_colour(options->terminal_background);
}

/* What every cell of a picture shares. */
struct layout {
    const struct tremlox_font *font;
    unsigned scale;
    bool ninth_column;     /* the 9-dot letter spacing */
    unsigned cell_columns; /* in font pixels: the glyph's and the 9th */
    unsigned cell_width;   /* in picture pixels */
    unsigned cell_height;  /* in picture pixels */
    uint32_t glyph_mask;   /* the font's columns, from the top bit down */
    unsigned italic_slant; /* the most font pixels italic shifts a row by */
    unsigned underline_row;
    unsigned strikethrough_row;
};

static void lay_out(const struct tremlox_grid *grid, const struct tremlox_picture_options *options,
                    struct layout *layout) {
    const struct tremlox_font *font =
        options->font != NULL ? options->font : tremlox__builtin_font();
    const unsigned spacing =
        options->letter_spacing != 0 ? options->letter_spacing : tremlox_grid_letter_spacing(grid);
    layout->font = font;
    layout->scale = options->scale;
    layout->ninth_column = spacing == 9;
    layout->cell_columns = font->width + (layout->ninth_column ? 1 : 0);
    layout->cell_width = layout->cell_columns * options->scale;
    layout->cell_height = font->height * options->scale;
    layout->glyph_mask = font->width >= 32 ? 0xffffffffu : ~(0xffffffffu >> font->width);
    layout->italic_slant = (font->width + 4) / 8;
    /* Row 14 of the VGA card's 16, and the middle, in any font's height. */
    layout->underline_row = font->height * 14 / 16;
    layout->strikethrough_row = font->height / 2;
}

int tremlox_grid_picture_size(const struct tremlox_grid *grid,
                              const struct tremlox_picture_options *given, unsigned *width,
                              unsigned *height) {
    struct tremlox_picture_options options;
    struct layout layout;
    if (grid == NULL || width == NULL || height == NULL || !read_options(given, &options)) {
        errno = EINVAL;
        return -1;
    }
    lay_out(grid, &options, &layout);
    /* At most 1024 columns of 33 x 8 pixels and 10000 rows of 64 x 8:
     * far from overflowing. */
    *width = grid->width * layout.cell_width;
    *height = grid->height * layout.cell_height;
    return 0;
}

/* The VGA card repeats the 8th column into the 9th for CP437's 0xC0-0xDF,
 * so that lines and blocks join; those are the box drawings of
 * U+2500-U+257F and five of the blocks. */
static bool joins_its_neighbour(uint32_t code_point) {
    return (code_point >= 0x2500 && code_point <= 0x257f) || code_point == 0x2580 ||
           code_point == 0x2584 || code_point == 0x2588 || code_point == 0x258c ||
           code_point == 0x2590;
}

/* Which part of its glyph a cell shows. */
enum glyph_part { whole_glyph, left_half, right_half };

/* A cell as it is painted, looked up once per cell row. */
struct painted_cell {
    /* Pixels in memory order (red, green, blue, 255): background,
     * foreground, and the underline's colour twice, indexed by the
     * foreground bit and the underline bit. */
    uint32_t pixels[4];
    const unsigned char *glyph; /* the glyph's rows; NULL for none or the hollow box */
    const unsigned char *marks[TREMLOX_CELL_MAX_MARKS];
    unsigned mark_count;
    bool hollow_box; /* the font holds neither the glyph nor U+FFFD */
    bool blank;      /* nothing but the background: blink in its hidden phase */
    enum glyph_part part;
    bool bold;
    bool italic;
    bool repeats_last_column;
    bool lines; /* any of the lines below; never for a concealed or hidden cell */
    uint8_t underline;
    bool strikethrough;
    bool overline;
};

static uint32_t pixel_of(uint32_t rgb) {
    const unsigned char bytes[4] = {(unsigned char)(rgb >> 16), (unsigned char)(rgb >> 8),
                                    (unsigned char)rgb, 255};
    uint32_t pixel;
    memcpy(&pixel, bytes, sizeof pixel);
    return pixel;
}

static uint32_t rgb_of(tremlox_colour colour, const struct tremlox_picture_options *options) {
    if (colour == TREMLOX_TERMINAL_FOREGROUND)
        return options->terminal_foreground != 0 ? options->terminal_foreground & 0xffffffu
                                                 : vga_light_grey;
    if (colour == TREMLOX_TERMINAL_BACKGROUND)
        return options->terminal_background != 0 ? options->terminal_background & 0xffffffu
                                                 : vga_black;
    if (TREMLOX_COLOUR_IS_PALETTE(colour) && options->palette != NULL)
        return options->palette[TREMLOX_PALETTE_INDEX(colour)] & 0xffffffu;
    return tremlox_colour_rgb(colour);
}

/* Each channel halfway from `from` toward `to`. */
static uint32_t halfway(uint32_t from, uint32_t to) {
    return ((from >> 1) & 0x7f7f7fu) + ((to >> 1) & 0x7f7f7fu) + (from & to & 0x010101u);
}

static void find_glyph(struct painted_cell *painted, const struct tremlox_font *font,
                       uint32_t code_point) {
    uint32_t glyph = tremlox__font_glyph(font, code_point);
    if (glyph == tremlox__no_glyph)
        glyph = tremlox__font_glyph(font, 0xfffd);
    painted->glyph = glyph != tremlox__no_glyph ? tremlox__font_bitmap(font, glyph) : NULL;
    painted->hollow_box = glyph == tremlox__no_glyph;
}

static void find_marks(struct painted_cell *painted, const struct tremlox_font *font,
                       const uint32_t *marks, unsigned count) {
    unsigned mark;
    painted->mark_count = 0;
    for (mark = 0; mark < count; ++mark) {
        const uint32_t glyph = tremlox__font_glyph(font, marks[mark]);
        if (glyph != tremlox__no_glyph)
            painted->marks[painted->mark_count++] = tremlox__font_bitmap(font, glyph);
    }
}

/* Looks up the cell at `column` of a row: its glyph (a wide glyph's right
 * half takes it from the cell before), colours and attributes. */
static void prepare_cell(struct painted_cell *painted, const struct tremlox_grid *grid,
                         const struct layout *layout, const struct tremlox_picture_options *options,
                         unsigned row, const struct tremlox_cell *cells,
                         const struct tremlox_attributes *row_attributes, unsigned column) {
    const struct tremlox_cell *cell = &cells[column];
    const struct tremlox_cell *owner = cell;
    const struct tremlox_attributes *attributes =
        row_attributes != NULL ? &row_attributes[column] : &tremlox__plain_attributes;
    unsigned owner_column = column;
    uint32_t background = rgb_of(cell->background, options);
    uint32_t foreground = rgb_of(cell->foreground, options);
    uint32_t underline_colour;

    painted->part = whole_glyph;
    if (cell->width == 2 && column + 1 < grid->width && cells[column + 1].width == 0) {
        painted->part = left_half;
    } else if (cell->width == 0 && column > 0 && cells[column - 1].width == 2) {
        painted->part = right_half;
        owner = &cells[column - 1];
        owner_column = column - 1;
    }

    painted->blank = (owner->blink && options->blink_hidden) ||
                     (cell->width == 0 && painted->part != right_half);
    if (attributes->flags & TREMLOX_ATTRIBUTE_FAINT)
        foreground = halfway(foreground, background);
    underline_colour = attributes->underline_colour == TREMLOX_UNDERLINE_FOREGROUND
                           ? foreground
                           : rgb_of(attributes->underline_colour, options);
    painted->pixels[0] = pixel_of(background);
    painted->pixels[1] = pixel_of(foreground);
    painted->pixels[2] = painted->pixels[3] = pixel_of(underline_colour);

    painted->underline = attributes->underline;
    painted->strikethrough = (attributes->flags & TREMLOX_ATTRIBUTE_STRIKETHROUGH) != 0;
    painted->overline = (attributes->flags & TREMLOX_ATTRIBUTE_OVERLINE) != 0;
    painted->lines = !painted->blank && !(attributes->flags & TREMLOX_ATTRIBUTE_CONCEAL) &&
                     (painted->underline != TREMLOX_UNDERLINE_NONE || painted->strikethrough ||
                      painted->overline);
    if (painted->blank)
        return;
    find_glyph(painted, layout->font, owner->glyph);
    find_marks(painted, layout->font, tremlox_grid_marks(grid, row, owner_column), owner->marks);
    painted->bold = owner->bold;
    painted->italic = row_attributes != NULL &&
                      (row_attributes[owner_column].flags & TREMLOX_ATTRIBUTE_ITALIC) != 0;
    /* A wide glyph's halves join across the left one's 9th column. */
    painted->repeats_last_column =
        layout->ninth_column && (joins_its_neighbour(owner->glyph) || painted->part == left_half);
}

/* A glyph's row as bits from the top one down. */
static uint32_t glyph_row_bits(const unsigned char *row, unsigned row_bytes) {
    uint32_t bits = 0;
    unsigned at;
    for (at = 0; at < row_bytes; ++at)
        bits |= (uint32_t)row[at] << (24 - 8 * at);
    return bits;
}

/* Each bit twice, side by side: a wide glyph's row stretched over its two
 * cells. The bits spread apart by halves, as in a Morton code. */
static uint64_t doubled_bits(uint32_t bits) {
    uint64_t spread = bits;
    spread = (spread | spread << 16) & 0x0000ffff0000ffffu;
    spread = (spread | spread << 8) & 0x00ff00ff00ff00ffu;
    spread = (spread | spread << 4) & 0x0f0f0f0f0f0f0f0fu;
    spread = (spread | spread << 2) & 0x3333333333333333u;
    spread = (spread | spread << 1) & 0x5555555555555555u;
    return spread | spread << 1;
}

/* Columns `from` to `to` (inclusive) from the top bit down. */
static uint64_t column_span(unsigned from, unsigned to) {
    return (~(uint64_t)0 >> from) & ~(~(uint64_t)0 >> to >> 1);
}

/* A hollow box `width` font pixels wide, a one-pixel outline inset by one
 * pixel. */
static uint64_t hollow_box_row(unsigned row, unsigned height, unsigned width) {
    if (width < 3 || height < 3 || row == 0 || row >= height - 1)
        return 0;
    if (row == 1 || row == height - 2)
        return column_span(1, width - 2);
    return column_span(1, 1) | column_span(width - 2, width - 2);
}

/* The foreground bits of font row `row` of the cell, over its columns
 * (the 9th included) from the top bit down. */
static uint64_t foreground_bits(const struct painted_cell *painted, const struct layout *layout,
                                unsigned row) {
    const struct tremlox_font *font = layout->font;
    const size_t row_at = (size_t)row * font->row_bytes;
    uint32_t glyph = 0;
    uint64_t bits;
    unsigned mark;
    if (painted->glyph != NULL)
        glyph = glyph_row_bits(painted->glyph + row_at, font->row_bytes);
    for (mark = 0; mark < painted->mark_count; ++mark)
        glyph |= glyph_row_bits(painted->marks[mark] + row_at, font->row_bytes);
    glyph &= layout->glyph_mask;
    if (painted->bold)
        glyph |= (glyph >> 1) & layout->glyph_mask;
    if (painted->italic) {
        /* A shear: the top row furthest right, the bottom row not at all. */
        const unsigned shift = (font->height - 1 - row) * (layout->italic_slant + 1) / font->height;
        glyph = (glyph >> shift) & layout->glyph_mask;
    }
    if (painted->part == whole_glyph) {
        bits = (uint64_t)glyph << 32;
        if (painted->hollow_box)
            bits |= hollow_box_row(row, font->height, font->width);
    } else {
        bits = doubled_bits(glyph);
        if (painted->hollow_box)
            bits |= hollow_box_row(row, font->height, 2 * font->width);
        if (painted->part == right_half)
            bits <<= font->width;
    }
    bits &= (uint64_t)layout->glyph_mask << 32;
    if (painted->repeats_last_column && (bits >> (64 - font->width) & 1))
        bits |= column_span(font->width, font->width);
    return bits;
}

/* Whether an underline drawn with period `period` starting at `phase`
 * covers column x; the pattern runs on across cells. */
static uint64_t patterned_span(unsigned columns, unsigned phase, unsigned period,
                               unsigned long on_mask) {
    uint64_t bits = 0;
    unsigned x;
    for (x = 0; x < columns; ++x)
        if (on_mask >> ((phase + x) % period) & 1)
            bits |= column_span(x, x);
    return bits;
}

/* The curly underline: a zigzag one row above and below the underline. */
static uint64_t curly_bits(unsigned columns, unsigned phase, int offset) {
    static const int wave[4] = {1, 0, -1, 0};
    uint64_t bits = 0;
    unsigned x;
    for (x = 0; x < columns; ++x)
        if (wave[(phase + x) % 4] == offset)
            bits |= column_span(x, x);
    return bits;
}

static uint64_t underline_bits(const struct painted_cell *painted, const struct layout *layout,
                               unsigned row, unsigned phase) {
    const unsigned columns = layout->cell_columns;
    const unsigned height = layout->font->height;
    const unsigned at = layout->underline_row;
    const uint64_t full = column_span(0, columns - 1);
    switch (painted->underline) {
    case TREMLOX_UNDERLINE_SINGLE:
        return row == at ? full : 0;
    case TREMLOX_UNDERLINE_DOUBLE: {
        unsigned lower = at + 1;
        if (lower >= height)
            lower = height - 1;
        return row == lower || row + 2 == lower ? full : 0;
    }
    case TREMLOX_UNDERLINE_CURLY:
        return row + 1 >= at && row <= at + 1 ? curly_bits(columns, phase, (int)row - (int)at) : 0;
    case TREMLOX_UNDERLINE_DOTTED:
        return row == at ? patterned_span(columns, phase, 2, 0x1u) : 0;
    case TREMLOX_UNDERLINE_DASHED:
        return row == at ? patterned_span(columns, phase, 6, 0xfu) : 0;
    default:
        return 0;
    }
}

/* Writes `count` font pixels of the cell from `foreground` and `underline`
 * (from the top bit down) at the scale, advancing `out`. */
static unsigned char *write_pixels(unsigned char *out, const struct painted_cell *painted,
                                   uint64_t foreground, uint64_t underline, unsigned count,
                                   unsigned scale) {
    unsigned x;
    for (x = 0; x < count; ++x) {
        const unsigned index =
            (unsigned)(foreground >> (63 - x) & 1) | (unsigned)(underline >> (63 - x) & 1) << 1;
        const uint32_t pixel = painted->pixels[index];
        unsigned repeat;
        for (repeat = 0; repeat < scale; ++repeat, out += 4)
            memcpy(out, &pixel, sizeof pixel);
    }
    return out;
}

/* Paints font row `row` of the prepared cells of columns `first_column`
 * onward into the pixel row at `out`. */
static void paint_font_row(const struct painted_cell *painted, unsigned count,
                           unsigned first_column, const struct layout *layout, unsigned row,
                           unsigned char *out) {
    const unsigned columns = layout->cell_columns;
    const uint64_t full = column_span(0, columns - 1);
    unsigned cell;
    for (cell = 0; cell < count; ++cell) {
        const struct painted_cell *current = &painted[cell];
        uint64_t foreground = 0;
        uint64_t underline = 0;
        if (!current->blank)
            foreground = foreground_bits(current, layout, row);
        if (current->lines) {
            if ((current->overline && row == 0) ||
                (current->strikethrough && row == layout->strikethrough_row))
                foreground |= full;
            /* 12: a whole number of every pattern's periods. */
            underline = underline_bits(current, layout, row, (first_column + cell) * columns % 12);
        }
        out = write_pixels(out, current, foreground, underline, columns, layout->scale);
    }
}

/* Paints pixel rows `from` to `to` (exclusive, within the cell row) of
 * cell row `row` into `out`, rows `stride` bytes apart. */
static void paint_cell_row(const struct tremlox_grid *grid, const struct layout *layout,
                           const struct tremlox_picture_options *options, unsigned row,
                           unsigned from, unsigned to, unsigned char *out, size_t stride) {
    const struct tremlox_cell *cells = tremlox_grid_row(grid, row);
    const struct tremlox_attributes *attributes =
        grid->rows[row] != NULL ? grid->attributes[row] : NULL;
    struct painted_cell painted[cells_per_chunk];
    unsigned first_column;
    for (first_column = 0; first_column < grid->width; first_column += cells_per_chunk) {
        const unsigned count = grid->width - first_column < cells_per_chunk
                                   ? grid->width - first_column
                                   : cells_per_chunk;
        const size_t chunk_at = (size_t)first_column * layout->cell_width * 4;
        const size_t chunk_bytes = (size_t)count * layout->cell_width * 4;
        unsigned cell;
        unsigned pixel_row = from;
        for (cell = 0; cell < count; ++cell)
            prepare_cell(&painted[cell], grid, layout, options, row, cells, attributes,
                         first_column + cell);
        /* Each font row once; the rows of its scale are copies. */
        while (pixel_row < to) {
            const unsigned font_row = pixel_row / layout->scale;
            unsigned char *first = out + (size_t)(pixel_row - from) * stride + chunk_at;
            paint_font_row(painted, count, first_column, layout, font_row, first);
            for (++pixel_row; pixel_row < to && pixel_row / layout->scale == font_row; ++pixel_row)
                memcpy(out + (size_t)(pixel_row - from) * stride + chunk_at, first, chunk_bytes);
        }
    }
}

int tremlox_grid_paint(const struct tremlox_grid *grid, const struct tremlox_picture_options *given,
                       unsigned first_row, unsigned row_count, unsigned char *rgba, size_t stride) {
    struct tremlox_picture_options options;
    struct layout layout;
    unsigned height;
    unsigned end;
    unsigned pixel_row;
    /* No rows need no pixels: an empty picture is painted whole without a
     * buffer. */
    if (grid == NULL || (rgba == NULL && row_count > 0) || !read_options(given, &options)) {
        errno = EINVAL;
        return -1;
    }
    lay_out(grid, &options, &layout);
    height = grid->height * layout.cell_height;
    if (row_count > height || first_row > height - row_count ||
        stride < (size_t)grid->width * layout.cell_width * 4) {
        errno = EINVAL;
        return -1;
    }
    end = first_row + row_count;
    for (pixel_row = first_row; pixel_row < end;) {
        const unsigned row = pixel_row / layout.cell_height;
        const unsigned row_top = row * layout.cell_height;
        const unsigned row_end =
            end - row_top < layout.cell_height ? end : row_top + layout.cell_height;
        paint_cell_row(grid, &layout, &options, row, pixel_row - row_top, row_end - row_top,
                       rgba + (size_t)(pixel_row - first_row) * stride, stride);
        pixel_row = row_end;
    }
    return 0;
}
