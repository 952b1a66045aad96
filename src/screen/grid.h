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
    unsigned row_capacity;
    struct tremlox_cell fill;      /* what a cell never drawn on holds */
    struct tremlox_cell *fill_row; /* `width` cells of `fill` */
    bool clipped;
    enum tremlox_charset charset;   /* as the art was read: CP437 or UTF8 */
    enum tremlox_wrapping wrapping; /* as it wrapped: DOS or VT */
};

/* A grid of `width` columns (at most TREMLOX_SCREEN_MAX_COLUMNS) and no
 * rows; NULL when memory is short. */
struct tremlox_grid *tremlox__grid_create(unsigned width);

/* The cells of row `row` (below TREMLOX_SCREEN_MAX_ROWS) to draw on, made
 * with `fill` when new; the height grows to hold it. NULL when memory is
 * short. */
struct tremlox_cell *tremlox__grid_row_to_draw(struct tremlox_grid *grid, unsigned row);

/* Empties the grid: no rows, every cell `fill` from now on. */
void tremlox__grid_clear(struct tremlox_grid *grid, struct tremlox_cell fill);

#ifdef __cplusplus
}
#endif

#endif
