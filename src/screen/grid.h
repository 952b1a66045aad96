/* The grid a screen is drawn into: where drawing and rendering meet. */
#ifndef TREMLOX_SCREEN_GRID_H
#define TREMLOX_SCREEN_GRID_H

#include <tremlox/screen.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Rows are made as the art first draws on them: a cursor sent far down
 * costs nothing until something is drawn there. */
struct tremlox_grid {
    unsigned width;             /* columns kept, at most TREMLOX_SCREEN_MAX_COLUMNS */
    unsigned height;            /* rows down to the lowest one drawn on */
    struct tremlox_cell **rows; /* NULL for a row never drawn on, which holds `fill` */
    /* Per row, NULL until a code point joins one of its cells: then
     * TREMLOX_CELL_MAX_MARKS code points a cell, of which the cell's
     * `marks` count. */
    uint32_t **marks;
    /* Per row, NULL until a cell of it gets attributes (modern art's
     * underline, italic and the like): then one for each cell. */
    struct tremlox_attributes **attributes;
    unsigned row_capacity;         /* of `rows`, `marks` and `attributes` */
    struct tremlox_cell fill;      /* what a cell never drawn on holds */
    struct tremlox_cell *fill_row; /* `width` cells of `fill` */
    bool clipped;
    enum tremlox_charset charset;   /* as the art was read: CP437 or UTF8 */
    enum tremlox_wrapping wrapping; /* as it wrapped: DOS or VT */
    unsigned letter_spacing;        /* as the screen's record asks: 8 or 9 */
};

/* A grid of `width` columns (at most TREMLOX_SCREEN_MAX_COLUMNS) and no
 * rows, every cell `fill` until drawn on; NULL when memory is short. */
struct tremlox_grid *tremlox__grid_create(unsigned width, struct tremlox_cell fill);

/* The cells of row `row` (below TREMLOX_SCREEN_MAX_ROWS) to draw on, made
 * with `fill` when new; the height grows to hold it. NULL when memory is
 * short. */
struct tremlox_cell *tremlox__grid_row_to_draw(struct tremlox_grid *grid, unsigned row);

/* Joins `mark` to the glyph of a cell of a row made by
 * tremlox__grid_row_to_draw, unless it holds TREMLOX_CELL_MAX_MARKS
 * already. False when memory is short. */
bool tremlox__grid_add_mark(struct tremlox_grid *grid, unsigned row, unsigned column,
                            uint32_t mark);

/* What a cell without attributes has: no flags, no underline. */
extern const struct tremlox_attributes tremlox__plain_attributes;

static inline bool tremlox__attributes_are_plain(const struct tremlox_attributes *attributes) {
    return attributes->flags == 0 && attributes->underline == TREMLOX_UNDERLINE_NONE &&
           attributes->underline_colour == TREMLOX_UNDERLINE_FOREGROUND;
}

/* Gives the cell at `column` of a row made by tremlox__grid_row_to_draw
 * the attributes `given`. False when memory is short. */
bool tremlox__grid_set_attributes(struct tremlox_grid *grid, unsigned row, unsigned column,
                                  const struct tremlox_attributes *given);

/* Empties the grid: no rows, every cell `fill` from now on. */
void tremlox__grid_clear(struct tremlox_grid *grid, struct tremlox_cell fill);

#ifdef __cplusplus
}
#endif

#endif
