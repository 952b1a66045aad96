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

/* The longest a cell can take: two 24-bit colours, blink and a glyph. */
enum { longest_cell = sizeof "\x1b[38;2;255;255;255;48;2;255;255;255;25m" + tremlox__utf8_longest };

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

/* The colour as this renderer's terminal is told it: 0xRRGGBB, xterm's
 * index, or the SGR code of the foreground's VGA colour. */
static uint32_t terminal_colour(const struct renderer *renderer, tremlox_colour colour) {
    const uint32_t rgb = tremlox_colour_rgb(colour);
    unsigned vga;
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

/* What the terminal was last told in this row. */
struct shown {
    uint32_t foreground;
    uint32_t background;
    bool blink;
};

/* Writes the SGR sequence that takes the terminal from `shown` to `cell`,
 * or nothing when the cell changes nothing. */
static void put_rendition(struct renderer *renderer, const struct tremlox_cell *cell,
                          struct shown *shown) {
    const uint32_t foreground = terminal_colour(renderer, cell->foreground);
    const uint32_t background = terminal_colour(renderer, cell->background);
    bool started = false;
    if (foreground == shown->foreground && background == shown->background &&
        cell->blink == shown->blink)
        return;
    put_text(renderer, "\x1b[", 2);
    if (foreground != shown->foreground) {
        put_colour(renderer, foreground, 30);
        started = true;
    }
    if (background != shown->background) {
        if (started)
            put_text(renderer, ";", 1);
        put_colour(renderer, background, 40);
        started = true;
    }
    if (cell->blink != shown->blink) {
        if (started)
            put_text(renderer, ";", 1);
        put_text(renderer, cell->blink ? "5" : "25", cell->blink ? 1 : 2);
    }
    put_text(renderer, "m", 1);
    shown->foreground = foreground;
    shown->background = background;
    shown->blink = cell->blink;
}

/* Control codes, surrogates and what lies past Unicode never reach the
 * terminal as they are. */
static uint32_t printable(uint32_t glyph) {
    if (glyph < 0x20 || (glyph >= 0x7f && glyph <= 0x9f) || (glyph >= 0xd800 && glyph <= 0xdfff) ||
        glyph > 0x10ffff)
        return tremlox__replacement_character;
    return glyph;
}

static void put_row(struct renderer *renderer, const struct tremlox_cell *cells, unsigned width) {
    struct shown shown = {no_colour, no_colour, false};
    unsigned column;
    for (column = 0; column < width; ++column) {
        make_room(renderer, longest_cell);
        if (renderer->colours != TREMLOX_COLOURS_NONE)
            put_rendition(renderer, &cells[column], &shown);
        renderer->used +=
            tremlox__utf8_encode(printable(cells[column].glyph), renderer->buffer + renderer->used);
    }
    make_room(renderer, sizeof "\x1b[0m\r\n");
    if (renderer->colours != TREMLOX_COLOURS_NONE)
        put_text(renderer, "\x1b[0m", 4);
    put_text(renderer, "\r\n", 2);
}

/* The colours AUTO stands for, from what the terminal says of itself. */
static enum tremlox_colours colours_of_terminal(bool console_takes_escapes) {
    const char *colour_term = getenv("COLORTERM");
    const char *term = getenv("TERM");
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
    if (options.column_limit > 0 && options.column_limit < width)
        width = options.column_limit;

    console_takes_escapes = tremlox__console_begin(out, &console);
    renderer->out = out;
    renderer->console = &console;
    renderer->colours = options.colours != TREMLOX_COLOURS_AUTO
                            ? options.colours
                            : colours_of_terminal(console_takes_escapes);
    renderer->failed_errno = 0;
    renderer->used = 0;
    for (row = 0; row < grid->height && renderer->failed_errno == 0; ++row)
        put_row(renderer, tremlox_grid_row(grid, row), width);
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
