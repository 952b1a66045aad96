/* Writes a grid to a terminal, a pipe or a file: cells in, text out. Each
 * row is one line of glyphs and SGR sequences, reset at its end; nothing
 * else ever leaves, whatever the art held, so the art shows the same
 * wherever the cursor was and leaves the terminal as it found it. */
#include "console.h"
#include "grid.h"
#include "options.h"
#include "palette.h"
#include "utf8.h"

#include <tremlox/screen.h>

#include <errno.h>
#include <stdlib.h>
#include <string.h>

/* A colour as the terminal is told it, to write it only when it changes. */
static const uint32_t no_colour = 0xffffffffu;

struct renderer {
    FILE *out;
    struct tremlox__console_state *console;
    enum tremlox_colours colours;
    int failed_errno;
    size_t used;
    char buffer[16384];
};

/* The longest a cell can take before its marks: the attributes, two 24-bit
 * colours, blink and a glyph. */
enum {
    longest_cell =
        sizeof "\x1b[22;27;28;38;2;255;255;255;48;2;255;255;255;25m" + tremlox__utf8_longest
};

static void flush_buffer(struct renderer *renderer) {
    if (renderer->used > 0 && renderer->failed_errno == 0)
        renderer->failed_errno = tremlox__console_write(renderer->out, renderer->console,
                                                        renderer->buffer, renderer->used);
    renderer->used = 0;
}

static void make_room(struct renderer *renderer, size_t length) {
    if (sizeof renderer->buffer - renderer->used < length)
        flush_buffer(renderer);
}

static void put_text(struct renderer *renderer, const char *text, size_t length) {
    memcpy(renderer->buffer + renderer->used, text, length);
    renderer->used += length;
}

/* "0".."255" from a table of two-digit pairs, as {fmt} writes numbers. */
static void put_number(struct renderer *renderer, unsigned value) {
    static const char pairs[] = "00010203040506070809101112131415161718192021222324252627282930"
                                "31323334353637383940414243444546474849505152535455565758596061"
                                "6263646566676869707172737475767778798081828384858687888990919293"
                                "949596979899";
    char *out = renderer->buffer + renderer->used;
    if (value >= 100) {
        *out++ = (char)('0' + value / 100);
        value %= 100;
        *out++ = pairs[value * 2];
        *out++ = pairs[value * 2 + 1];
    } else if (value >= 10) {
        *out++ = pairs[value * 2];
        *out++ = pairs[value * 2 + 1];
    } else {
        *out++ = (char)('0' + value);
    }
    renderer->used = (size_t)(out - renderer->buffer);
}

/* The terminal's own colour, which SGR 39 and 49 set. */
static const uint32_t own_colour = 0xfffffffeu;

/* The colour as this renderer's terminal is told it: 0xRRGGBB, xterm's
 * index, the SGR code of the foreground's VGA colour, or own_colour. */
static uint32_t terminal_colour(const struct renderer *renderer, tremlox_colour colour) {
    const uint32_t rgb = tremlox_colour_rgb(colour);
    unsigned vga;
    if (TREMLOX_COLOUR_IS_TERMINAL(colour))
        return own_colour;
    switch (renderer->colours) {
    case TREMLOX_COLOURS_24_BIT:
        return rgb;
    case TREMLOX_COLOURS_256:
        return tremlox__nearest_xterm_colour(rgb);
    default:
        vga = TREMLOX_COLOUR_IS_RGB(colour) ? tremlox__nearest_vga_colour(rgb) : colour & 15u;
        return (vga < 8 ? 30u : 90u) + tremlox__sgr_order[vga & 7u];
    }
}

/* Adds one colour to the SGR sequence being written: `base` 30 for the
 * foreground, 40 for the background. */
static void put_colour(struct renderer *renderer, uint32_t colour, unsigned base) {
    if (colour == own_colour) {
        put_number(renderer, base + 9);
        return;
    }
    switch (renderer->colours) {
    case TREMLOX_COLOURS_24_BIT:
        put_number(renderer, base + 8);
        put_text(renderer, ";2;", 3);
        put_number(renderer, colour >> 16);
        put_text(renderer, ";", 1);
        put_number(renderer, colour >> 8 & 255);
        put_text(renderer, ";", 1);
        put_number(renderer, colour & 255);
        break;
    case TREMLOX_COLOURS_256:
        put_number(renderer, base + 8);
        put_text(renderer, ";5;", 3);
        put_number(renderer, colour);
        break;
    default:
        put_number(renderer, colour + base - 30);
        break;
    }
}

/* What the terminal is told for a cell: the colours SGR sets (which reverse
 * then shows swapped) and the attributes. */
struct rendition {
    uint32_t foreground;
    uint32_t background;
    bool bold;
    bool reverse;
    bool conceal;
    bool blink;
};

/* SGR 39 and 49 can only set the terminal's own colours in their own
 * places. Where a cell has them elsewhere (reverse video, a concealed
 * glyph), reverse swaps them there, and conceal hides a glyph in the
 * colour of its background. */
static struct rendition rendition_of(const struct renderer *renderer,
                                     const struct tremlox_cell *cell) {
    const tremlox_colour foreground = cell->foreground;
    const tremlox_colour background = cell->background;
    struct rendition rendition = {0, 0, false, false, false, false};
    rendition.bold = cell->bold;
    rendition.blink = cell->blink;
    if (foreground == TREMLOX_TERMINAL_BACKGROUND || background == TREMLOX_TERMINAL_FOREGROUND) {
        rendition.reverse = foreground != TREMLOX_TERMINAL_BACKGROUND || background != foreground;
        rendition.conceal = foreground == background;
        rendition.foreground =
            rendition.conceal ? own_colour : terminal_colour(renderer, background);
        rendition.background =
            rendition.conceal ? own_colour : terminal_colour(renderer, foreground);
    } else {
        rendition.foreground = terminal_colour(renderer, foreground);
        rendition.background = terminal_colour(renderer, background);
    }
    return rendition;
}

/* Adds an attribute's code when it changed: `on` or `off`. */
static void put_attribute(struct renderer *renderer, bool now, bool before, const char *on,
                          const char *off, bool *started) {
    const char *code = now ? on : off;
    if (now == before)
        return;
    if (*started)
        put_text(renderer, ";", 1);
    put_text(renderer, code, strlen(code));
    *started = true;
}

/* Writes the SGR sequence that takes the terminal from `shown` to `cell`,
 * or nothing when the cell changes nothing. */
static void put_rendition(struct renderer *renderer, const struct tremlox_cell *cell,
                          struct rendition *shown) {
    const struct rendition wanted = rendition_of(renderer, cell);
    bool started = false;
    if (wanted.foreground == shown->foreground && wanted.background == shown->background &&
        wanted.bold == shown->bold && wanted.reverse == shown->reverse &&
        wanted.conceal == shown->conceal && wanted.blink == shown->blink)
        return;
    put_text(renderer, "\x1b[", 2);
    put_attribute(renderer, wanted.bold, shown->bold, "1", "22", &started);
    put_attribute(renderer, wanted.reverse, shown->reverse, "7", "27", &started);
    put_attribute(renderer, wanted.conceal, shown->conceal, "8", "28", &started);
    if (wanted.foreground != shown->foreground) {
        if (started)
            put_text(renderer, ";", 1);
        put_colour(renderer, wanted.foreground, 30);
        started = true;
    }
    if (wanted.background != shown->background) {
        if (started)
            put_text(renderer, ";", 1);
        put_colour(renderer, wanted.background, 40);
        started = true;
    }
    put_attribute(renderer, wanted.blink, shown->blink, "5", "25", &started);
    put_text(renderer, "m", 1);
    *shown = wanted;
}

/* Control codes, surrogates and what lies past Unicode never reach the
 * terminal as they are. */
static uint32_t printable(uint32_t glyph) {
    if (glyph < 0x20 || (glyph >= 0x7f && glyph <= 0x9f) || (glyph >= 0xd800 && glyph <= 0xdfff) ||
        glyph > 0x10ffff)
        return tremlox__replacement_character;
    return glyph;
}

static void put_glyph(struct renderer *renderer, uint32_t glyph) {
    if (glyph >= 0x20 && glyph < 0x7f) /* most glyphs, at the cost of a byte */
        renderer->buffer[renderer->used++] = (char)glyph;
    else
        renderer->used += tremlox__utf8_encode(printable(glyph), renderer->buffer + renderer->used);
}

/* Writes the first `width` cells of a row. A wide glyph is written once,
 * for both its cells; one that the clip would cut in two is a blank. */
/* Whether two cells are shown in the same colours and attributes. */
static bool same_rendition(const struct tremlox_cell *a, const struct tremlox_cell *b) {
    return a->foreground == b->foreground && a->background == b->background &&
           a->blink == b->blink && a->bold == b->bold;
}

static void put_row(struct renderer *renderer, const struct tremlox_grid *grid, unsigned row,
                    unsigned width) {
    const struct tremlox_cell *cells = tremlox_grid_row(grid, row);
    struct rendition shown = {no_colour, no_colour, false, false, false, false};
    const struct tremlox_cell *last_written = NULL;
    unsigned column;
    for (column = 0; column < width; ++column) {
        struct tremlox_cell cell = cells[column];
        unsigned mark;
        const bool right_half = cell.width == 0 && column > 0 && cells[column - 1].width == 2;
        const bool whole = cell.width != 2 || (column + 1 < width && cells[column + 1].width == 0);
        if (right_half)
            continue;
        if (cell.width != 1 && !whole) {
            cell.glyph = ' ';
            cell.marks = 0;
        }
        make_room(renderer, longest_cell + (size_t)cell.marks * tremlox__utf8_longest);
        /* Most cells are shown as the one before them. */
        if (renderer->colours != TREMLOX_COLOURS_NONE &&
            (last_written == NULL || !same_rendition(&cell, last_written)))
            put_rendition(renderer, &cell, &shown);
        last_written = &cells[column];
        put_glyph(renderer, cell.glyph);
        if (cell.marks > 0) {
            const uint32_t *marks = tremlox_grid_marks(grid, row, column);
            for (mark = 0; mark < cell.marks; ++mark)
                put_glyph(renderer, marks[mark]);
        }
    }
    make_room(renderer, sizeof "\x1b[0m\r\n");
    if (renderer->colours != TREMLOX_COLOURS_NONE)
        put_text(renderer, "\x1b[0m", 4);
    put_text(renderer, "\r\n", 2);
}

/* The colours AUTO stands for, from what the user and the terminal say. */
static enum tremlox_colours colours_of_terminal(bool console_takes_escapes) {
    const char *no_colour_wanted = getenv("NO_COLOR");
    const char *colour_term = getenv("COLORTERM");
    const char *term = getenv("TERM");
    if (no_colour_wanted != NULL && no_colour_wanted[0] != '\0')
        return TREMLOX_COLOURS_NONE;
    if (console_takes_escapes || (colour_term != NULL && (strcmp(colour_term, "truecolor") == 0 ||
                                                          strcmp(colour_term, "24bit") == 0)))
        return TREMLOX_COLOURS_24_BIT;
    if (term != NULL && strstr(term, "256") != NULL)
        return TREMLOX_COLOURS_256;
    return TREMLOX_COLOURS_16;
}

int tremlox_grid_write(FILE *out, const struct tremlox_grid *grid,
                       const struct tremlox_screen_options *given) {
    struct tremlox_screen_options options;
    struct tremlox__console_state console;
    struct renderer *renderer;
    unsigned width;
    unsigned column_limit;
    unsigned row;
    int failed_errno;
    bool console_takes_escapes;

    if (out == NULL || grid == NULL || !tremlox__read_options(given, &options)) {
        errno = EINVAL;
        return -1;
    }
    renderer = malloc(sizeof *renderer);
    if (renderer == NULL) {
        errno = ENOMEM;
        return -1;
    }
    width = grid->width;
    column_limit = options.column_limit != 0 ? options.column_limit : tremlox__console_columns(out);
    if (column_limit > 0 && column_limit < width)
        width = column_limit;

    console_takes_escapes = tremlox__console_begin(out, &console);
    renderer->out = out;
    renderer->console = &console;
    renderer->colours = options.colours != TREMLOX_COLOURS_AUTO
                            ? options.colours
                            : colours_of_terminal(console_takes_escapes);
    renderer->failed_errno = 0;
    renderer->used = 0;
    for (row = 0; row < grid->height && renderer->failed_errno == 0; ++row)
        put_row(renderer, grid, row, width);
    flush_buffer(renderer);
    failed_errno = renderer->failed_errno;
    free(renderer);

    tremlox__console_end(out, &console);
    errno = 0;
    if (fflush(out) != 0 && failed_errno == 0)
        failed_errno = errno != 0 ? errno : EIO;
    if (failed_errno != 0) {
        errno = failed_errno;
        return -1;
    }
    return 0;
}
