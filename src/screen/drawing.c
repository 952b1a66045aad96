/* Draws a screen's art into a grid of cells: bytes in, cells out. CP437 art
 * as ANSI.SYS and the classic BBS terminals drew it, in the VGA colours;
 * UTF-8 art as today's terminals take its bytes, with their palette and
 * attributes. Knows nothing of the terminal the grid may later be shown on. */
#include "cp437.h"
#include "glyph_kinds.h"
#include "grid.h"
#include "options.h"
#include "palette.h"
#include "utf8.h"

#include <tremlox/screen.h>

#include <errno.h>

enum { default_width = 80, widest_art = 65535, tab_stop = 8, largest_parameter = 65535 };
enum { escape = 0x1b, bell = 0x07 };
enum { beyond_the_last_row = TREMLOX_SCREEN_MAX_ROWS };

/* What SGR sets, before bold, iCE colours, reverse and conceal turn it into
 * the colours shown. */
struct pen {
    tremlox_colour foreground;
    tremlox_colour background;
    bool bold;
    bool blink;
    bool reverse;
    bool conceal;
    /* Modern art's alone: TREMLOX_ATTRIBUTE_FAINT, _ITALIC,
     * _STRIKETHROUGH and _OVERLINE, the underline and its colour. */
    uint16_t attributes;
    uint8_t underline;
    tremlox_colour underline_colour;
};

struct drawer {
    struct tremlox_grid *grid; /* what the art is drawn into */
    unsigned width;            /* the art's width, where it wraps; the grid may keep fewer */
    bool vt_wrapping;
    unsigned row; /* beyond_the_last_row once line feeds pass the cap */
    unsigned column;
    bool wrap_pending; /* VT: a glyph landed in the last column */
    unsigned saved_row;
    unsigned saved_column;
    struct pen pen;
    struct pen default_pen; /* what SGR 0 goes back to: VGA or the terminal's colours */
    bool ice_colours;
    /* UTF-8 art: the terminal's palette, bold left to the terminal, and
     * attributes kept. CP437 art is a DOS screen, with none of them. */
    bool modern;
    struct tremlox_cell brush; /* the colours a glyph is drawn in */
    struct tremlox_attributes brush_attributes;
    bool brush_is_plain; /* brush_attributes are none: most art, and all CP437 art */
    /* The row last drawn on, kept at hand: most glyphs land on the row of
     * the one before. NULL after the grid is cleared. */
    struct tremlox_cell *drawn_cells;
    unsigned drawn_row;
    /* Rows filled to the last column, and those of them a line break ends
     * right after that column's glyph. */
    bool after_last_column;
    unsigned full_rows;
    unsigned full_rows_broken;
    bool out_of_memory;
};

static bool is_dark_vga(tremlox_colour colour) {
    return colour < 8;
}

/* The bright form of a dark colour, as bold or iCE blink makes it: VGA
 * colours 0-7 and, in modern art, palette entries 0-7. */
static tremlox_colour brightened(tremlox_colour colour) {
    if (is_dark_vga(colour) ||
        (TREMLOX_COLOUR_IS_PALETTE(colour) && TREMLOX_PALETTE_INDEX(colour) < 8))
        return colour + 8;
    return colour;
}

/* Reverse swaps the colours whole, a colour bright by its own code (90-97,
 * 100-107) included. The brightness that bold gives the foreground of CP437
 * art, and blink the background under iCE colours, stays in place, as the
 * PC's attribute byte keeps its intensity and blink bits there. Bold cannot
 * brighten the terminal's own foreground, nor any colour of modern art: the
 * terminal shows it bold. Modern art keeps its attributes, and the colours
 * reverse and conceal hid, for the renderer to write back. */
static void update_brush(struct drawer *drawer) {
    const struct pen *pen = &drawer->pen;
    struct tremlox_attributes *attributes = &drawer->brush_attributes;
    tremlox_colour foreground = pen->reverse ? pen->background : pen->foreground;
    tremlox_colour background = pen->reverse ? pen->foreground : pen->background;
    const tremlox_colour shown_foreground = foreground;
    if (pen->bold && !drawer->modern)
        foreground = brightened(foreground);
    if (pen->blink && drawer->ice_colours)
        background = brightened(background);
    if (pen->conceal)
        foreground = background;
    drawer->brush.foreground = foreground;
    drawer->brush.background = background;
    drawer->brush.blink = pen->blink && !drawer->ice_colours;
    drawer->brush.bold =
        pen->bold && (drawer->modern || foreground == TREMLOX_TERMINAL_FOREGROUND);
    *attributes = tremlox__plain_attributes;
    drawer->brush_is_plain = true;
    if (!drawer->modern)
        return;
    attributes->flags = pen->attributes | (pen->reverse ? TREMLOX_ATTRIBUTE_REVERSE : 0u) |
                        (pen->conceal ? TREMLOX_ATTRIBUTE_CONCEAL : 0u);
    attributes->underline = pen->underline;
    attributes->underline_colour = pen->underline_colour;
    if (pen->conceal)
        attributes->concealed_foreground = shown_foreground;
    drawer->brush_is_plain = tremlox__attributes_are_plain(attributes);
}

/* Keeps count of rows filled to the last column and ended right there by a
 * line break; every event but a colour change ends the watch. */
static void end_watch(struct drawer *drawer, bool line_break) {
    if (drawer->after_last_column && line_break)
        ++drawer->full_rows_broken;
    drawer->after_last_column = false;
}

static void next_row(struct drawer *drawer) {
    drawer->column = 0;
    drawer->wrap_pending = false;
    if (drawer->row < beyond_the_last_row)
        ++drawer->row;
}

/* The row's cells to draw on, or NULL when the row is past the cap (which
 * clips the grid) or memory is short. */
static struct tremlox_cell *row_to_draw(struct drawer *drawer, unsigned row) {
    struct tremlox_cell *cells;
    if (drawer->drawn_cells != NULL && drawer->drawn_row == row)
        return drawer->drawn_cells;
    if (row >= TREMLOX_SCREEN_MAX_ROWS) {
        drawer->grid->clipped = true;
        return NULL;
    }
    cells = tremlox__grid_row_to_draw(drawer->grid, row);
    if (cells == NULL)
        drawer->out_of_memory = true;
    drawer->drawn_cells = cells;
    drawer->drawn_row = row;
    return cells;
}

/* A blank in a cell's own colours, for half of a wide glyph that is left
 * alone when the other half is overwritten, as terminals leave it. */
static void blank_in_place(struct tremlox_cell *cell) {
    cell->glyph = ' ';
    cell->width = 1;
    cell->marks = 0;
    cell->bold = false;
}

/* Before cells [from, to) of a row are overwritten: a wide glyph that lies
 * half inside them loses its other half too. */
static void split_wide_glyphs(const struct tremlox_grid *grid, struct tremlox_cell *cells,
                              unsigned from, unsigned to) {
    if (from >= to)
        return;
    if (cells[from].width == 0 && from > 0)
        blank_in_place(&cells[from - 1]);
    if (cells[to - 1].width == 2 && to < grid->width)
        blank_in_place(&cells[to]);
}

/* Moves the cursor past a glyph of `width` columns that ends at or before
 * the last column: on, or to the next row as the wrapping says. */
static void advance(struct drawer *drawer, unsigned width) {
    if (drawer->column + width < drawer->width) {
        drawer->column += width;
        return;
    }
    ++drawer->full_rows;
    drawer->after_last_column = true;
    if (drawer->vt_wrapping) {
        drawer->column = drawer->width - 1;
        drawer->wrap_pending = true;
    } else {
        next_row(drawer);
    }
}

/* Gives cells [from, to) of the row being drawn the attributes `given`,
 * `plain` or not. Most art has none, and its rows never hold any. */
static void set_attributes(struct drawer *drawer, unsigned from, unsigned to,
                           const struct tremlox_attributes *given, bool plain) {
    if (plain && drawer->grid->attributes[drawer->drawn_row] == NULL)
        return;
    for (; from < to; ++from)
        if (!tremlox__grid_set_attributes(drawer->grid, drawer->drawn_row, from, given))
            drawer->out_of_memory = true;
}

/* Draws a glyph of `width` columns, 1 or 2, at the cursor. A wide glyph
 * that does not fit before the art's edge goes to the next row, as
 * terminals put it; in art one column wide it never fits and is dropped. */
static void put_glyph(struct drawer *drawer, uint32_t glyph, unsigned width) {
    end_watch(drawer, false);
    if (drawer->wrap_pending)
        next_row(drawer);
    if (width > drawer->width)
        return;
    if (drawer->column + width > drawer->width)
        next_row(drawer);
    if (drawer->column + width > drawer->grid->width) {
        drawer->grid->clipped = true;
    } else {
        struct tremlox_cell *cells = row_to_draw(drawer, drawer->row);
        if (cells != NULL) {
            struct tremlox_cell *cell = &cells[drawer->column];
            split_wide_glyphs(drawer->grid, cells, drawer->column, drawer->column + width);
            *cell = drawer->brush;
            cell->glyph = glyph;
            cell->width = (uint8_t)width;
            if (width == 2) {
                cell[1] = drawer->brush;
                cell[1].glyph = ' ';
                cell[1].width = 0;
            }
            if (drawer->modern)
                set_attributes(drawer, drawer->column, drawer->column + width,
                               &drawer->brush_attributes, drawer->brush_is_plain);
        }
    }
    advance(drawer, width);
}

/* Joins a combining or zero-width code point to the glyph before the
 * cursor, as terminals do; with no glyph before it on the row, it is
 * dropped. */
static void join_glyph(struct drawer *drawer, uint32_t mark) {
    struct tremlox_cell *cells;
    unsigned column;
    if (drawer->wrap_pending)
        column = drawer->column;
    else if (drawer->column > 0)
        column = drawer->column - 1;
    else
        return;
    if (column >= drawer->grid->width || drawer->row >= TREMLOX_SCREEN_MAX_ROWS)
        return;
    cells = row_to_draw(drawer, drawer->row);
    if (cells == NULL)
        return;
    if (cells[column].width == 0 && column > 0)
        --column;
    if (!tremlox__grid_add_mark(drawer->grid, drawer->row, column, mark))
        drawer->out_of_memory = true;
}

/* What an erased cell holds: a blank in the current colours, not blinking,
 * as the PC erases. Today's terminals erase in the current background
 * alone, before reverse video, and without attributes. */
static struct tremlox_cell blank_cell(const struct drawer *drawer) {
    struct tremlox_cell blank = drawer->brush;
    blank.glyph = ' ';
    blank.blink = false;
    blank.bold = false;
    if (drawer->modern) {
        blank.foreground = drawer->default_pen.foreground;
        blank.background = drawer->pen.background;
    }
    return blank;
}

/* Blanks columns [from, to) of `row` in the current colours. */
static void erase(struct drawer *drawer, unsigned row, unsigned from, unsigned to) {
    struct tremlox_cell *cells;
    const struct tremlox_cell blank = blank_cell(drawer);
    if (to > drawer->grid->width) {
        drawer->grid->clipped = true;
        to = drawer->grid->width;
    }
    cells = row_to_draw(drawer, row);
    if (cells == NULL)
        return;
    split_wide_glyphs(drawer->grid, cells, from, to);
    set_attributes(drawer, from, to, &tremlox__plain_attributes, true);
    for (; from < to; ++from)
        cells[from] = blank;
}

static void erase_in_line(struct drawer *drawer, unsigned mode) {
    if (mode == 0)
        erase(drawer, drawer->row, drawer->column, drawer->width);
    else if (mode == 1)
        erase(drawer, drawer->row, 0, drawer->column + 1);
    else if (mode == 2)
        erase(drawer, drawer->row, 0, drawer->width);
}

/* 2 clears the grid and homes the cursor, as ANSI.SYS does: the art begins
 * anew, and its height is what it draws from then on. */
static void erase_in_display(struct drawer *drawer, unsigned mode) {
    unsigned row;
    if (mode == 0) {
        erase_in_line(drawer, 0);
        for (row = drawer->row + 1; row < drawer->grid->height; ++row)
            erase(drawer, row, 0, drawer->width);
    } else if (mode == 1) {
        for (row = 0; row < drawer->row && row < TREMLOX_SCREEN_MAX_ROWS; ++row)
            erase(drawer, row, 0, drawer->width);
        erase_in_line(drawer, 1);
    } else if (mode == 2) {
        tremlox__grid_clear(drawer->grid, blank_cell(drawer));
        drawer->drawn_cells = NULL;
        drawer->row = 0;
        drawer->column = 0;
        drawer->wrap_pending = false;
    }
}

/* The parameters of a control sequence, read one at a time. */
struct parameters {
    const unsigned char *next;
    const unsigned char *end;
    bool more;
};

enum { kept_sub_parameters = 6 };

/* A parameter and the sub-parameters after it, in the colon form of ITU
 * T.416 that today's programs write (38:2::255:0:0, 4:3). */
struct parameter {
    unsigned value;
    bool given;
    unsigned part_count; /* the sub-parameters, of which the first are kept */
    unsigned parts[kept_sub_parameters]; /* 0 where empty */
};

/* Reads the digits at the cursor: 0, and not `given`, when there are none. */
static unsigned read_number(struct parameters *parameters, bool *given) {
    unsigned value = 0;
    *given = false;
    while (parameters->next < parameters->end && *parameters->next >= '0' &&
           *parameters->next <= '9') {
        value = value * 10 + (unsigned)(*parameters->next - '0');
        if (value > largest_parameter)
            value = largest_parameter;
        *given = true;
        ++parameters->next;
    }
    return value;
}

/* Reads the next parameter with its sub-parameters; `more` is there. */
static void read_parameter(struct parameters *parameters, struct parameter *parameter) {
    parameter->part_count = 0;
    parameter->value = read_number(parameters, &parameter->given);
    while (parameters->next < parameters->end && *parameters->next == ':') {
        bool given;
        unsigned part;
        ++parameters->next;
        part = read_number(parameters, &given);
        if (parameter->part_count < kept_sub_parameters)
            parameter->parts[parameter->part_count] = part;
        ++parameter->part_count;
    }
    if (parameters->next < parameters->end)
        ++parameters->next; /* the ';' */
    else
        parameters->more = false;
}

/* Returns the next parameter, `fallback` when it is empty or missing. */
static unsigned next_parameter(struct parameters *parameters, unsigned fallback) {
    struct parameter parameter;
    if (!parameters->more)
        return fallback;
    read_parameter(parameters, &parameter);
    return parameter.given ? parameter.value : fallback;
}

/* A count of 0 moves as far as 1 does. */
static unsigned next_count(struct parameters *parameters) {
    const unsigned count = next_parameter(parameters, 1);
    return count > 0 ? count : 1;
}

static unsigned channel(unsigned value) {
    return value > 255 ? 255 : value;
}

/* Colour `index` of xterm's 256: an entry of the terminal's palette in
 * modern art, the VGA colour or xterm's RGB in CP437 art. */
static tremlox_colour indexed_colour(const struct drawer *drawer, unsigned index) {
    return drawer->modern ? TREMLOX_PALETTE_COLOUR(index) : tremlox__xterm_colour(index);
}

/* Colour `index`, 0-15, as 30-37 and 90-97 (40-47, 100-107) name it. */
static tremlox_colour coded_colour(const struct drawer *drawer, unsigned index) {
    return drawer->modern ? TREMLOX_PALETTE_COLOUR(index) | TREMLOX_PALETTE_BY_CODE
                          : tremlox__xterm_colour(index);
}

/* The colour of 38, 48 or 58 in form 5 (`values`: xterm's colour n) or 2
 * (r, g, b). False for another form, or one cut short. */
static bool form_colour(const struct drawer *drawer, unsigned form, const unsigned *values,
                        unsigned count, tremlox_colour *colour) {
    if (form == 5 && count >= 1 && values[0] <= 255) {
        *colour = indexed_colour(drawer, values[0]);
        return true;
    }
    if (form == 2 && count >= 3) {
        *colour = TREMLOX_RGB(channel(values[0]), channel(values[1]), channel(values[2]));
        return true;
    }
    return false;
}

/* Reads the colour after 38, 48 or 58 in the semicolon form: 5;n or
 * 2;r;g;b. Returns false, the form consumed, when it is another form or cut
 * short. */
static bool extended_colour(const struct drawer *drawer, struct parameters *parameters,
                            tremlox_colour *colour) {
    const unsigned form = next_parameter(parameters, 0);
    unsigned values[3];
    unsigned count = 0;
    const unsigned needed = form == 5 ? 1 : form == 2 ? 3 : 0;
    while (count < needed && parameters->more)
        values[count++] = next_parameter(parameters, 0);
    return form_colour(drawer, form, values, count, colour);
}

/* Sets or clears one of modern art's attribute flags. */
static void set_flag(struct pen *pen, uint16_t flag, bool on) {
    pen->attributes = (uint16_t)(on ? pen->attributes | flag : pen->attributes & ~flag);
}

/* Sets the colour that 38, 48 or 58 names, the last in the form named:
 * with semicolons or with colons. */
static void set_colour(struct pen *pen, unsigned code, tremlox_colour colour,
                       bool by_semicolons) {
    if (code == 38) {
        pen->foreground = colour;
    } else if (code == 48) {
        pen->background = colour;
    } else {
        pen->underline_colour = colour;
        set_flag(pen, TREMLOX_ATTRIBUTE_UNDERLINE_COLOUR_BY_SEMICOLONS, by_semicolons);
    }
}

/* The colon forms: 38:5:n, 38:2:r:g:b and 38:2::r:g:b (an empty colour
 * space first), the same for 48 and 58, and 4:n, an underline's style.
 * Every other is consumed and does nothing. */
static void colon_form(struct pen *pen, const struct drawer *drawer,
                       const struct parameter *parameter) {
    const unsigned code = parameter->value;
    const unsigned *parts = parameter->parts;
    tremlox_colour colour;
    if (code == 4 && parameter->part_count == 1 && parts[0] <= TREMLOX_UNDERLINE_DASHED) {
        pen->underline = (uint8_t)parts[0];
    } else if (code == 38 || code == 48 || code == 58) {
        const unsigned skipped = parts[0] == 2 && parameter->part_count >= 5 ? 2 : 1;
        if (parameter->part_count > skipped &&
            form_colour(drawer, parts[0], parts + skipped, parameter->part_count - skipped,
                        &colour))
            set_colour(pen, code, colour, false);
    }
}

static void select_graphic_rendition(struct drawer *drawer, struct parameters *parameters) {
    struct pen *pen = &drawer->pen;
    do {
        struct parameter parameter;
        unsigned code;
        tremlox_colour colour;
        read_parameter(parameters, &parameter);
        code = parameter.value;
        if (parameter.part_count > 0) {
            colon_form(pen, drawer, &parameter);
        } else if (code == 0) {
            *pen = drawer->default_pen;
        } else if (code == 1 || code == 22) {
            pen->bold = code == 1;
            if (code == 22)
                set_flag(pen, TREMLOX_ATTRIBUTE_FAINT, false);
        } else if (code == 2 || code == 3 || code == 23) {
            set_flag(pen, code == 2 ? TREMLOX_ATTRIBUTE_FAINT : TREMLOX_ATTRIBUTE_ITALIC,
                     code != 23);
        } else if (code == 4 || code == 21 || code == 24) {
            pen->underline = code == 4    ? TREMLOX_UNDERLINE_SINGLE
                             : code == 21 ? TREMLOX_UNDERLINE_DOUBLE
                                          : TREMLOX_UNDERLINE_NONE;
        } else if (code == 5 || code == 6 || code == 25) {
            pen->blink = code != 25;
        } else if (code == 7 || code == 27) {
            pen->reverse = code == 7;
        } else if (code == 8 || code == 28) {
            pen->conceal = code == 8;
        } else if (code == 9 || code == 29) {
            set_flag(pen, TREMLOX_ATTRIBUTE_STRIKETHROUGH, code == 9);
        } else if (code == 53 || code == 55) {
            set_flag(pen, TREMLOX_ATTRIBUTE_OVERLINE, code == 53);
        } else if (code >= 30 && code <= 37) {
            pen->foreground = coded_colour(drawer, code - 30);
        } else if (code == 39) {
            pen->foreground = drawer->default_pen.foreground;
        } else if (code >= 40 && code <= 47) {
            pen->background = coded_colour(drawer, code - 40);
        } else if (code == 49) {
            pen->background = drawer->default_pen.background;
        } else if (code == 59) {
            set_colour(pen, code, TREMLOX_UNDERLINE_FOREGROUND, false);
        } else if (code >= 90 && code <= 97) {
            pen->foreground = coded_colour(drawer, code - 90 + 8);
        } else if (code >= 100 && code <= 107) {
            pen->background = coded_colour(drawer, code - 100 + 8);
        } else if ((code == 38 || code == 48 || code == 58) &&
                   extended_colour(drawer, parameters, &colour)) {
            set_colour(pen, code, colour, true);
        }
    } while (parameters->more);
    update_brush(drawer);
}

/* PabloDraw's 24-bit colours: 0;r;g;b t for the background, 1;r;g;b t for
 * the foreground. Any other t (a window operation) is left alone. */
static void pablodraw_colour(struct drawer *drawer, struct parameters *parameters) {
    unsigned values[5];
    unsigned count = 0;
    while (count < 5 && parameters->more)
        values[count++] = next_parameter(parameters, 0);
    if (count != 4 || values[0] > 1)
        return;
    *(values[0] == 0 ? &drawer->pen.background : &drawer->pen.foreground) =
        TREMLOX_RGB(channel(values[1]), channel(values[2]), channel(values[3]));
    update_brush(drawer);
}

static void move_to(struct drawer *drawer, unsigned row, unsigned column) {
    drawer->row = row < beyond_the_last_row ? row : beyond_the_last_row;
    drawer->column = column < drawer->width ? column : drawer->width - 1;
    drawer->wrap_pending = false;
}

/* Acts on a control sequence of parameters [start, end) (digits and ';'
 * alone) and final byte `final`. */
static void control_sequence(struct drawer *drawer, const unsigned char *start,
                             const unsigned char *end, unsigned char final) {
    struct parameters parameters = {start, end, true};
    unsigned count;
    unsigned row;
    if (final == 'm' || final == 't') {
        (final == 'm' ? select_graphic_rendition : pablodraw_colour)(drawer, &parameters);
        return;
    }
    end_watch(drawer, false);
    switch (final) {
    case 'A':
        count = next_count(&parameters);
        move_to(drawer, drawer->row > count ? drawer->row - count : 0, drawer->column);
        break;
    case 'B':
        /* Down as far as the last row the grid can hold. */
        count = next_count(&parameters);
        row = drawer->row;
        if (row < TREMLOX_SCREEN_MAX_ROWS - 1)
            row = TREMLOX_SCREEN_MAX_ROWS - 1 - row > count ? row + count
                                                            : TREMLOX_SCREEN_MAX_ROWS - 1;
        move_to(drawer, row, drawer->column);
        break;
    case 'C':
        count = next_count(&parameters);
        move_to(drawer, drawer->row,
                drawer->width - drawer->column > count ? drawer->column + count : drawer->width);
        break;
    case 'D':
        count = next_count(&parameters);
        move_to(drawer, drawer->row, drawer->column > count ? drawer->column - count : 0);
        break;
    case 'G':
        move_to(drawer, drawer->row, next_count(&parameters) - 1);
        break;
    case 'H':
    case 'f':
        row = next_count(&parameters) - 1;
        move_to(drawer, row, next_count(&parameters) - 1);
        break;
    case 'J':
        erase_in_display(drawer, next_parameter(&parameters, 0));
        break;
    case 'K':
        erase_in_line(drawer, next_parameter(&parameters, 0));
        break;
    case 's':
        drawer->saved_row = drawer->row;
        drawer->saved_column = drawer->column;
        break;
    case 'u':
        move_to(drawer, drawer->saved_row, drawer->saved_column);
        break;
    default:
        break;
    }
}

/* ESC [ ? 33 h and l turn iCE colours on and off; other private modes mean
 * nothing to a grid. */
static void private_mode(struct drawer *drawer, const unsigned char *start,
                         const unsigned char *end, unsigned char final) {
    struct parameters parameters = {start, end, true};
    if (final != 'h' && final != 'l')
        return;
    while (parameters.more) {
        if (next_parameter(&parameters, 0) == 33) {
            drawer->ice_colours = final == 'h';
            update_brush(drawer);
        }
    }
}

/* Whether parameters [start, end) are digits and semicolons alone, or, with
 * `colons`, colons too. */
static bool only_digits_and_separators(const unsigned char *start, const unsigned char *end,
                                       bool colons) {
    for (; start < end; ++start)
        if ((*start < '0' || *start > '9') && *start != ';' && (!colons || *start != ':'))
            return false;
    return true;
}

/* Consumes the control sequence after ESC [ at art[at] and acts on it.
 * Returns where the art goes on: a sequence broken by a byte that cannot be
 * in it ends before that byte, which is then drawn as any other. */
static size_t read_control_sequence(struct drawer *drawer, const unsigned char *art, size_t size,
                                    size_t at) {
    const size_t parameters_at = at;
    size_t intermediates_at;
    while (at < size && art[at] >= 0x30 && art[at] <= 0x3f)
        ++at;
    intermediates_at = at;
    while (at < size && art[at] >= 0x20 && art[at] <= 0x2f)
        ++at;
    if (at >= size || art[at] < 0x40 || art[at] > 0x7e) {
        end_watch(drawer, false);
        return at;
    }
    /* Only SGR has sub-parameters. */
    if (intermediates_at == at && only_digits_and_separators(art + parameters_at,
                                                             art + intermediates_at, art[at] == 'm')) {
        control_sequence(drawer, art + parameters_at, art + intermediates_at, art[at]);
    } else {
        end_watch(drawer, false);
        if (intermediates_at == at && parameters_at < intermediates_at &&
            art[parameters_at] == '?' &&
            only_digits_and_separators(art + parameters_at + 1, art + intermediates_at, false))
            private_mode(drawer, art + parameters_at + 1, art + intermediates_at, art[at]);
    }
    return at + 1;
}

/* Consumes a control string (OSC, DCS, APC, PM, SOS) from art[at] up to and
 * including BEL or ST (ESC \), or to the end of the art. */
static size_t skip_control_string(const unsigned char *art, size_t size, size_t at) {
    for (; at < size; ++at) {
        if (art[at] == bell)
            return at + 1;
        if (art[at] == escape && at + 1 < size && art[at + 1] == '\\')
            return at + 2;
    }
    return size;
}

/* Consumes what begins with the ESC at art[at]; returns where the art goes
 * on. Nothing of it is ever drawn. */
static size_t read_escape(struct drawer *drawer, const unsigned char *art, size_t size, size_t at) {
    unsigned char kind;
    if (at + 1 >= size) {
        end_watch(drawer, false);
        return size;
    }
    kind = art[at + 1];
    if (kind == '[')
        return read_control_sequence(drawer, art, size, at + 2);
    end_watch(drawer, false);
    if (kind == ']' || kind == 'P' || kind == '_' || kind == '^' || kind == 'X')
        return skip_control_string(art, size, at + 2);
    /* ESC, intermediate bytes, one final byte, such as ESC ( B. */
    at += 1;
    while (at < size && art[at] >= 0x20 && art[at] <= 0x2f)
        ++at;
    return at < size ? at + 1 : size;
}

static void tab(struct drawer *drawer) {
    end_watch(drawer, false);
    if (drawer->column + 1 >= drawer->width)
        return;
    drawer->column = (drawer->column / tab_stop + 1) * tab_stop;
    if (drawer->column >= drawer->width)
        drawer->column = drawer->width - 1;
    drawer->wrap_pending = false;
}

/* CR, LF and TAB; returns false for any other byte. LF starts the next row
 * at its first column, as the classic viewers draw. */
static bool format_effector(struct drawer *drawer, unsigned char byte) {
    if (byte == '\r') {
        end_watch(drawer, true);
        drawer->column = 0;
        drawer->wrap_pending = false;
    } else if (byte == '\n') {
        end_watch(drawer, true);
        next_row(drawer);
    } else if (byte == '\t') {
        tab(drawer);
    } else {
        return false;
    }
    return true;
}

static void draw_cp437(struct drawer *drawer, const unsigned char *art, size_t size) {
    size_t at = 0;
    while (at < size && !drawer->out_of_memory) {
        const unsigned char byte = art[at];
        if (byte == escape) {
            at = read_escape(drawer, art, size, at);
            continue;
        }
        if (!format_effector(drawer, byte))
            put_glyph(drawer, tremlox__cp437_code_point(byte), 1);
        ++at;
    }
}

/* Control codes a terminal would act on, not show: never drawn. */
static bool is_control(uint32_t code_point) {
    return code_point < 0x20 || (code_point >= 0x7f && code_point <= 0x9f);
}

static void draw_utf8(struct drawer *drawer, const unsigned char *art, size_t size) {
    size_t at = 0;
    while (at < size && !drawer->out_of_memory) {
        uint32_t code_point;
        size_t length;
        if (art[at] == escape) {
            at = read_escape(drawer, art, size, at);
            continue;
        }
        if (format_effector(drawer, art[at])) {
            ++at;
            continue;
        }
        length = tremlox__utf8_decode(art + at, size - at, &code_point);
        if (length == 0) {
            code_point = tremlox__replacement_character;
            length = 1;
        }
        if (is_control(code_point)) {
            end_watch(drawer, false);
        } else {
            switch (tremlox__glyph_kind(code_point)) {
            case glyph_narrow:
                put_glyph(drawer, code_point, 1);
                break;
            case glyph_wide:
                put_glyph(drawer, code_point, 2);
                break;
            case glyph_joining:
                join_glyph(drawer, code_point);
                break;
            case glyph_dropped:
                /* Bidirectional controls would let a terminal reorder the
                 * row that the grid has placed glyph by glyph. */
                end_watch(drawer, false);
                break;
            }
        }
        at += length;
    }
}

static void draw(struct drawer *drawer, const unsigned char *art, size_t size, bool utf8) {
    (utf8 ? draw_utf8 : draw_cp437)(drawer, art, size);
}

/* What SGR 0 sets: the terminal's own colours, or VGA light grey on black. */
static struct pen default_pen(bool terminal_colours) {
    struct pen pen = {0};
    pen.foreground = terminal_colours ? TREMLOX_TERMINAL_FOREGROUND : TREMLOX_VGA_LIGHT_GREY;
    pen.background = terminal_colours ? TREMLOX_TERMINAL_BACKGROUND : TREMLOX_VGA_BLACK;
    pen.underline_colour = TREMLOX_UNDERLINE_FOREGROUND;
    return pen;
}

/* A drawer at the top-left, in the default colours; its grid comes after,
 * filled with the blank it starts with. */
static void start_drawer(struct drawer *drawer, bool utf8, unsigned width, bool vt_wrapping,
                         bool ice_colours, bool terminal_colours) {
    const struct drawer start = {0};
    *drawer = start;
    drawer->modern = utf8;
    drawer->width = width;
    drawer->vt_wrapping = vt_wrapping;
    drawer->default_pen = default_pen(terminal_colours);
    drawer->pen = drawer->default_pen;
    drawer->ice_colours = ice_colours;
    drawer->brush.glyph = ' ';
    drawer->brush.width = 1;
    update_brush(drawer);
}

/* Draws the art into a new grid in `drawer`, which then also holds the
 * counts that say how the art wraps; NULL when memory is short. */
static struct tremlox_grid *draw_grid(struct drawer *drawer, const unsigned char *art, size_t size,
                                      bool utf8, unsigned width, bool vt_wrapping, bool ice_colours,
                                      bool terminal_colours) {
    start_drawer(drawer, utf8, width, vt_wrapping, ice_colours, terminal_colours);
    drawer->grid = tremlox__grid_create(
        width < TREMLOX_SCREEN_MAX_COLUMNS ? width : TREMLOX_SCREEN_MAX_COLUMNS, drawer->brush);
    if (drawer->grid == NULL)
        return NULL;
    drawer->grid->charset = utf8 ? TREMLOX_CHARSET_UTF8 : TREMLOX_CHARSET_CP437;
    drawer->grid->wrapping = vt_wrapping ? TREMLOX_WRAPPING_VT : TREMLOX_WRAPPING_DOS;
    draw(drawer, art, size, utf8);
    if (drawer->out_of_memory) {
        tremlox_grid_free(drawer->grid);
        return NULL;
    }
    return drawer->grid;
}

/* VT when at least half of the rows filled to the last column end right
 * there with a line break: drawn as a DOS screen, each would be followed by
 * a blank row its artist never saw. The counts are those of a DOS drawing. */
static bool wraps_as_vt(const struct drawer *dos_drawer) {
    return dos_drawer->full_rows > 0 && dos_drawer->full_rows_broken * 2 >= dos_drawer->full_rows;
}

struct tremlox_grid *tremlox_screen_draw(const char *screen, size_t size,
                                         const struct tremlox_screen_options *given) {
    struct tremlox_screen_options options;
    struct tremlox_sauce sauce;
    const unsigned char *art = (const unsigned char *)screen;
    size_t art_size;
    unsigned width;
    bool utf8;
    bool terminal_colours;
    struct tremlox_grid *grid;
    struct drawer drawer;

    if (!tremlox__read_options(given, &options) || (screen == NULL && size > 0)) {
        errno = EINVAL;
        return NULL;
    }
    art_size = tremlox_screen_parse(screen, size, &sauce);
    width = options.width > 0 ? options.width : sauce.width > 0 ? sauce.width : default_width;
    if (width > widest_art)
        width = widest_art;
    utf8 = options.charset == TREMLOX_CHARSET_UTF8 ||
           (options.charset == TREMLOX_CHARSET_GUESS &&
            tremlox__utf8_looks_like_utf8(screen, art_size));
    /* UTF-8 art was drawn on today's terminals, to sit on their own
     * background; CP437 art is a DOS screen. */
    terminal_colours = options.default_colours == TREMLOX_DEFAULT_COLOURS_TERMINAL ||
                       (options.default_colours == TREMLOX_DEFAULT_COLOURS_AUTO && utf8);

    /* AUTO draws the art as DOS wraps it, which most art does, and again as
     * VT when the rows it filled say so. */
    grid = draw_grid(&drawer, art, art_size, utf8, width, options.wrapping == TREMLOX_WRAPPING_VT,
                     sauce.ice_colours, terminal_colours);
    if (grid != NULL && options.wrapping == TREMLOX_WRAPPING_AUTO && wraps_as_vt(&drawer)) {
        tremlox_grid_free(grid);
        grid = draw_grid(&drawer, art, art_size, utf8, width, true, sauce.ice_colours,
                         terminal_colours);
    }
    if (grid == NULL) {
        errno = ENOMEM;
        return NULL;
    }
    if (tremlox_screen_letter_spacing(screen, size) == 9)
        grid->letter_spacing = 9;
    return grid;
}
