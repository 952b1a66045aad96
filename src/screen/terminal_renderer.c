/* Writes a grid to a terminal, a pipe, a file or a caller's sink: cells
 * in, text out. Each
 * row is one line of glyphs and SGR sequences, reset at its end; nothing
 * else ever leaves, whatever the art held, so the art shows the same
 * wherever the cursor was and leaves the terminal as it found it. */
#include "console.h"
#include "grid.h"
#include "options.h"
#include "output_buffer.h"
#include "palette.h"
#include "terminal_colours.h"
#include "utf8.h"

#include <tremlox/screen.h>

#include <errno.h>
#include <stdlib.h>
#include <string.h>

/* A colour as the terminal is told it, to write it only when it changes. */
static const uint32_t no_colour = 0xffffffffu;

struct renderer {
    struct tremlox__output output;
    enum tremlox_colours colours;
};

/* The longest a cell can take before its marks: every attribute in its
 * longest code, three 24-bit colours, and a glyph. */
enum {
    longest_cell = sizeof "\x1b[22;1;2;23;4:3;27;28;29;55;38;2;255;255;255;48;2;255;255;255;"
                          "58:2::255:255:255;25m" +
                   tremlox__utf8_longest
};

static void put_text(struct renderer *renderer, const char *text, size_t length) {
    tremlox__output_put(&renderer->output, text, length);
}

/* "0".."255" from a table of two-digit pairs, as {fmt} writes numbers. */
static void put_number(struct renderer *renderer, unsigned value) {
    static const char pairs[] = "00010203040506070809101112131415161718192021222324252627282930"
                                "31323334353637383940414243444546474849505152535455565758596061"
                                "6263646566676869707172737475767778798081828384858687888990919293"
                                "949596979899";
    char *out = renderer->output.bytes + renderer->output.used;
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
    renderer->output.used = (size_t)(out - renderer->output.bytes);
}

/* A colour as the terminal is told it: own_colour (SGR 39, 49 or 59), or a
 * kind and its value: 0xRRGGBB, xterm's index (38;5;n), or one of the
 * sixteen by its code (30-37 and 90-97), its index 0-15 in xterm's order. */
static const uint32_t own_colour = 0xfffffffeu;
static const uint32_t told_rgb = 0x1000000u;
static const uint32_t told_index = 0x2000000u;
static const uint32_t told_code = 0x3000000u;
static const uint32_t told_kind = 0xff000000u;
static const uint32_t told_value = 0xffffffu;

/* The terminal's palette entries stay its own where the mode has them: by
 * their codes or as 38;5;n, as the art named them. 16 colours take the
 * nearest of 0-15 for the rest. */
static uint32_t palette_entry(const struct renderer *renderer, tremlox_colour colour) {
    const unsigned index = TREMLOX_PALETTE_INDEX(colour);
    if (index < 16 && (renderer->colours == TREMLOX_COLOURS_16 ||
                       (colour & TREMLOX_PALETTE_BY_CODE) != 0))
        return told_code | index;
    if (renderer->colours == TREMLOX_COLOURS_16)
        return told_code |
               tremlox__xterm_index_of_vga(tremlox__nearest_vga_colour(tremlox_colour_rgb(colour)));
    return told_index | index;
}

static uint32_t terminal_colour(const struct renderer *renderer, tremlox_colour colour) {
    uint32_t rgb;
    unsigned vga;
    if (TREMLOX_COLOUR_IS_TERMINAL(colour) || colour == TREMLOX_UNDERLINE_FOREGROUND)
        return own_colour;
    if (TREMLOX_COLOUR_IS_PALETTE(colour))
        return palette_entry(renderer, colour);
    rgb = tremlox_colour_rgb(colour);
    switch (renderer->colours) {
    case TREMLOX_COLOURS_24_BIT:
        return told_rgb | rgb;
    case TREMLOX_COLOURS_256:
        return told_index | tremlox__nearest_xterm_colour(rgb);
    default:
        vga = TREMLOX_COLOUR_IS_RGB(colour) ? tremlox__nearest_vga_colour(rgb) : colour & 15u;
        return told_code | tremlox__xterm_index_of_vga(vga);
    }
}

enum layer { foreground_layer = 30, background_layer = 40, underline_layer = 50 };

/* Adds one colour to the SGR sequence being written: 39 or 49, a code of
 * the sixteen, or 38, 48 or 58 with 5;n or 2;r;g;b, their parts separated
 * by `separator`, ';' or ':' (58:2::r:g:b, with an empty colour space). The
 * underline's colour has no codes of its own. */
static void put_colour(struct renderer *renderer, uint32_t colour, enum layer layer,
                       char separator) {
    const uint32_t value = colour & told_value;
    if (colour == own_colour) {
        put_number(renderer, (unsigned)layer + 9);
        return;
    }
    if ((colour & told_kind) == told_code && layer != underline_layer) {
        put_number(renderer, (value < 8 ? (unsigned)layer : (unsigned)layer + 60 - 8) + value);
        return;
    }
    put_number(renderer, (unsigned)layer + 8);
    renderer->output.bytes[renderer->output.used++] = separator;
    if ((colour & told_kind) == told_rgb) {
        renderer->output.bytes[renderer->output.used++] = '2';
        renderer->output.bytes[renderer->output.used++] = separator;
        if (separator == ':')
            renderer->output.bytes[renderer->output.used++] = separator;
        put_number(renderer, value >> 16);
        renderer->output.bytes[renderer->output.used++] = separator;
        put_number(renderer, value >> 8 & 255);
        renderer->output.bytes[renderer->output.used++] = separator;
        put_number(renderer, value & 255);
    } else {
        renderer->output.bytes[renderer->output.used++] = '5';
        renderer->output.bytes[renderer->output.used++] = separator;
        put_number(renderer, value);
    }
}

/* The attributes the terminal is told, each an SGR code on and off: modern
 * art's as the grid holds them (the underline colour's form among them,
 * which is no attribute), and bold and blink from the cell. */
enum {
    shows_faint = TREMLOX_ATTRIBUTE_FAINT,
    shows_italic = TREMLOX_ATTRIBUTE_ITALIC,
    shows_strikethrough = TREMLOX_ATTRIBUTE_STRIKETHROUGH,
    shows_overline = TREMLOX_ATTRIBUTE_OVERLINE,
    shows_reverse = TREMLOX_ATTRIBUTE_REVERSE,
    shows_conceal = TREMLOX_ATTRIBUTE_CONCEAL,
    shows_underline_colour_by_semicolons = TREMLOX_ATTRIBUTE_UNDERLINE_COLOUR_BY_SEMICOLONS,
    shows_bold = 0x100u,
    shows_blink = 0x200u
};

/* What the terminal is told for a cell: the colours SGR sets (which reverse
 * then shows swapped) and the attributes. */
struct rendition {
    uint32_t foreground;
    uint32_t background;
    uint32_t underline_colour;
    unsigned flags; /* shows_... */
    unsigned underline;
};

/* Modern art's attributes as the art set them: the colours before reverse
 * and conceal, which the terminal then applies as it does to cat's. */
static void modern_rendition(const struct renderer *renderer, const struct tremlox_cell *cell,
                             const struct tremlox_attributes *attributes,
                             struct rendition *rendition) {
    const unsigned flags = attributes->flags;
    const tremlox_colour shown_foreground =
        (flags & TREMLOX_ATTRIBUTE_CONCEAL) != 0 ? attributes->concealed_foreground
                                                 : cell->foreground;
    const bool reverse = (flags & TREMLOX_ATTRIBUTE_REVERSE) != 0;
    rendition->foreground =
        terminal_colour(renderer, reverse ? cell->background : shown_foreground);
    rendition->background =
        terminal_colour(renderer, reverse ? shown_foreground : cell->background);
    rendition->flags |= flags;
}

/* SGR 39 and 49 can only set the terminal's own colours in their own
 * places. Where a cell of CP437 art has them elsewhere (reverse video, a
 * concealed glyph), reverse swaps them there, and conceal hides a glyph in
 * the colour of its background. */
static struct rendition rendition_of(const struct renderer *renderer,
                                     const struct tremlox_cell *cell,
                                     const struct tremlox_attributes *attributes) {
    const tremlox_colour foreground = cell->foreground;
    const tremlox_colour background = cell->background;
    struct rendition rendition;
    rendition.flags = (cell->bold ? shows_bold : 0u) | (cell->blink ? shows_blink : 0u);
    rendition.underline = attributes->underline;
    rendition.underline_colour = attributes->underline_colour == TREMLOX_UNDERLINE_FOREGROUND
                                     ? own_colour
                                     : terminal_colour(renderer, attributes->underline_colour);
    if (attributes->flags != 0) {
        modern_rendition(renderer, cell, attributes, &rendition);
    } else if (foreground == TREMLOX_TERMINAL_BACKGROUND ||
               background == TREMLOX_TERMINAL_FOREGROUND) {
        const bool conceal = foreground == background;
        if (foreground != TREMLOX_TERMINAL_BACKGROUND || background != foreground)
            rendition.flags |= shows_reverse;
        if (conceal)
            rendition.flags |= shows_conceal;
        rendition.foreground = conceal ? own_colour : terminal_colour(renderer, background);
        rendition.background = conceal ? own_colour : terminal_colour(renderer, foreground);
    } else {
        rendition.foreground = terminal_colour(renderer, foreground);
        rendition.background = terminal_colour(renderer, background);
    }
    return rendition;
}

/* Adds a code to the SGR sequence being written. */
static void put_code(struct renderer *renderer, const char *code, bool *started) {
    if (*started)
        put_text(renderer, ";", 1);
    put_text(renderer, code, strlen(code));
    *started = true;
}

/* Adds an attribute's code when it changed: `on` or `off`. */
static void put_attribute(struct renderer *renderer, const struct rendition *wanted,
                          const struct rendition *shown, unsigned flag, const char *on,
                          const char *off, bool *started) {
    if ((wanted->flags & flag) != (shown->flags & flag))
        put_code(renderer, (wanted->flags & flag) != 0 ? on : off, started);
}

/* Bold and faint end together, with 22: what stays on is set again. */
static void put_intensity(struct renderer *renderer, const struct rendition *wanted,
                          const struct rendition *shown, bool *started) {
    const unsigned intensity = shows_bold | shows_faint;
    const unsigned now = wanted->flags & intensity;
    const unsigned before = shown->flags & intensity;
    if (now == before)
        return;
    if ((before & ~now) != 0)
        put_code(renderer, "22", started);
    if ((now & shows_bold) != 0 && ((before & ~now) != 0 || (before & shows_bold) == 0))
        put_code(renderer, "1", started);
    if ((now & shows_faint) != 0 && ((before & ~now) != 0 || (before & shows_faint) == 0))
        put_code(renderer, "2", started);
}

static void put_underline(struct renderer *renderer, unsigned underline, bool *started) {
    static const char *const codes[] = {"24", "4", "21", "4:3", "4:4", "4:5"};
    put_code(renderer, codes[underline <= TREMLOX_UNDERLINE_DASHED ? underline : 1], started);
}

static void put_changed_colour(struct renderer *renderer, uint32_t wanted, uint32_t shown,
                               enum layer layer, bool *started) {
    if (wanted == shown)
        return;
    if (*started)
        put_text(renderer, ";", 1);
    put_colour(renderer, wanted, layer, ';');
    *started = true;
}

/* The underline's colour, written again when its form changes too. */
static void put_underline_colour(struct renderer *renderer, const struct rendition *wanted,
                                 const struct rendition *shown, bool *started) {
    const bool by_semicolons = (wanted->flags & shows_underline_colour_by_semicolons) != 0;
    if (wanted->underline_colour == shown->underline_colour &&
        by_semicolons == ((shown->flags & shows_underline_colour_by_semicolons) != 0))
        return;
    if (*started)
        put_text(renderer, ";", 1);
    put_colour(renderer, wanted->underline_colour, underline_layer, by_semicolons ? ';' : ':');
    *started = true;
}

static bool same_rendition(const struct rendition *a, const struct rendition *b) {
    return a->foreground == b->foreground && a->background == b->background &&
           a->underline_colour == b->underline_colour && a->flags == b->flags &&
           a->underline == b->underline;
}

/* Writes the SGR sequence that takes the terminal from `shown` to the
 * cell's rendition, or nothing when the cell changes nothing. */
static void put_rendition(struct renderer *renderer, const struct tremlox_cell *cell,
                          const struct tremlox_attributes *attributes, struct rendition *shown) {
    const struct rendition wanted = rendition_of(renderer, cell, attributes);
    bool started = false;
    if (same_rendition(&wanted, shown))
        return;
    put_text(renderer, "\x1b[", 2);
    put_intensity(renderer, &wanted, shown, &started);
    put_attribute(renderer, &wanted, shown, shows_italic, "3", "23", &started);
    if (wanted.underline != shown->underline)
        put_underline(renderer, wanted.underline, &started);
    put_attribute(renderer, &wanted, shown, shows_reverse, "7", "27", &started);
    put_attribute(renderer, &wanted, shown, shows_conceal, "8", "28", &started);
    put_attribute(renderer, &wanted, shown, shows_strikethrough, "9", "29", &started);
    put_attribute(renderer, &wanted, shown, shows_overline, "53", "55", &started);
    put_changed_colour(renderer, wanted.foreground, shown->foreground, foreground_layer,
                       &started);
    put_changed_colour(renderer, wanted.background, shown->background, background_layer,
                       &started);
    put_underline_colour(renderer, &wanted, shown, &started);
    put_attribute(renderer, &wanted, shown, shows_blink, "5", "25", &started);
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
        renderer->output.bytes[renderer->output.used++] = (char)glyph;
    else
        renderer->output.used +=
            tremlox__utf8_encode(printable(glyph), renderer->output.bytes + renderer->output.used);
}

/* Whether two cells are shown in the same colours and attributes. */
static bool same_look(const struct tremlox_cell *a, const struct tremlox_attributes *a_attributes,
                      const struct tremlox_cell *b,
                      const struct tremlox_attributes *b_attributes) {
    return a->foreground == b->foreground && a->background == b->background &&
           a->blink == b->blink && a->bold == b->bold &&
           (a_attributes == b_attributes ||
            (a_attributes->flags == b_attributes->flags &&
             a_attributes->underline == b_attributes->underline &&
             a_attributes->underline_colour == b_attributes->underline_colour &&
             a_attributes->concealed_foreground == b_attributes->concealed_foreground));
}

/* Writes the first `width` cells of a row. A wide glyph is written once,
 * for both its cells; one that the clip would cut in two is a blank. The
 * terminal is taken to start the row in its own colours and no attribute:
 * the art begins where the terminal is, and each row ends reset. */
static void put_row(struct renderer *renderer, const struct tremlox_grid *grid, unsigned row,
                    unsigned width) {
    const struct tremlox_cell *cells = tremlox_grid_row(grid, row);
    const struct tremlox_attributes *row_attributes = grid->attributes[row];
    struct rendition shown = {no_colour, no_colour, own_colour, 0, TREMLOX_UNDERLINE_NONE};
    const struct tremlox_cell *last_written = NULL;
    const struct tremlox_attributes *last_attributes = NULL;
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
        tremlox__output_make_room(&renderer->output,
                                  longest_cell + (size_t)cell.marks * tremlox__utf8_longest);
        if (renderer->colours != TREMLOX_COLOURS_NONE) {
            const struct tremlox_attributes *attributes =
                row_attributes != NULL ? &row_attributes[column] : &tremlox__plain_attributes;
            /* Most cells are shown as the one before them. */
            if (last_written == NULL ||
                !same_look(&cell, attributes, last_written, last_attributes))
                put_rendition(renderer, &cell, attributes, &shown);
            last_written = &cells[column];
            last_attributes = attributes;
        }
        put_glyph(renderer, cell.glyph);
        if (cell.marks > 0) {
            const uint32_t *marks = tremlox_grid_marks(grid, row, column);
            for (mark = 0; mark < cell.marks; ++mark)
                put_glyph(renderer, marks[mark]);
        }
    }
    tremlox__output_make_room(&renderer->output, sizeof "\x1b[0m\r\n");
    if (renderer->colours != TREMLOX_COLOURS_NONE)
        put_text(renderer, "\x1b[0m", 4);
    put_text(renderer, "\r\n", 2);
}

static const char *environment_variable(const char *name) {
    return getenv(name);
}

/* Writes the rows, `width` cells of each, through the sink. Returns 0, the
 * sink's value, or -1 with errno ENOMEM. */
static int write_rows(tremlox_write_fn write, void *context, const struct tremlox_grid *grid,
                      unsigned width, enum tremlox_colours colours) {
    struct renderer *renderer = malloc(sizeof *renderer);
    unsigned row;
    int failed;
    if (renderer == NULL) {
        errno = ENOMEM;
        return -1;
    }
    tremlox__output_start(&renderer->output, write, context);
    renderer->colours = colours;
    for (row = 0; row < grid->height && renderer->output.failed == 0; ++row)
        put_row(renderer, grid, row, width);
    tremlox__output_flush(&renderer->output);
    failed = renderer->output.failed;
    free(renderer);
    return failed;
}

/* The columns shown: the grid's, or fewer where the limit clips them. */
static unsigned shown_width(const struct tremlox_grid *grid, unsigned column_limit) {
    return column_limit > 0 && column_limit < grid->width ? column_limit : grid->width;
}

static enum tremlox_colours colours_shown(const struct tremlox_screen_options *options,
                                          bool console_takes_escapes) {
    if (options->colours != TREMLOX_COLOURS_AUTO)
        return options->colours;
    return tremlox__colours_of_terminal(environment_variable, console_takes_escapes);
}

int tremlox_grid_write_to(tremlox_write_fn write, void *context, const struct tremlox_grid *grid,
                          const struct tremlox_screen_options *given) {
    struct tremlox_screen_options options;
    if (write == NULL || grid == NULL || !tremlox__read_options(given, &options)) {
        errno = EINVAL;
        return -1;
    }
    return write_rows(write, context, grid, shown_width(grid, options.column_limit),
                      colours_shown(&options, false));
}

int tremlox_write_to_file(void *context, const char *bytes, size_t size) {
    errno = 0;
    if (fwrite(bytes, 1, size, (FILE *)context) == size)
        return 0;
    return errno != 0 ? errno : EIO;
}

/* The sink of tremlox_grid_write: a stream, or the console it shows. */
struct console_sink {
    FILE *out;
    struct tremlox__console_state *console;
};

static int write_to_console(void *context, const char *bytes, size_t size) {
    const struct console_sink *sink = context;
    return tremlox__console_write(sink->out, sink->console, bytes, size);
}

int tremlox_grid_write(FILE *out, const struct tremlox_grid *grid,
                       const struct tremlox_screen_options *given) {
    struct tremlox_screen_options options;
    struct tremlox__console_state console;
    struct console_sink sink;
    unsigned column_limit;
    int failed;
    bool console_takes_escapes;

    if (out == NULL || grid == NULL || !tremlox__read_options(given, &options)) {
        errno = EINVAL;
        return -1;
    }
    column_limit = options.column_limit != 0 ? options.column_limit : tremlox__console_columns(out);
    console_takes_escapes = tremlox__console_begin(out, &console);
    sink.out = out;
    sink.console = &console;
    failed = write_rows(write_to_console, &sink, grid, shown_width(grid, column_limit),
                        colours_shown(&options, console_takes_escapes));
    /* The console's errno values; -1 is ENOMEM, with errno set. */
    if (failed == -1)
        failed = ENOMEM;
    tremlox__console_end(out, &console);
    errno = 0;
    if (fflush(out) != 0 && failed == 0)
        failed = errno != 0 ? errno : EIO;
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    return 0;
}
