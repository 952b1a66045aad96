/* The grid: rows of cells, made as the art reaches them. */
#include "grid.h"

#include <stdlib.h>
#include <string.h>

const struct tremlox_attributes tremlox__plain_attributes = {0, TREMLOX_UNDERLINE_NONE,
                                                             TREMLOX_UNDERLINE_FOREGROUND, 0};

static void fill_cells(struct tremlox_cell *cells, unsigned count, struct tremlox_cell fill) {
    unsigned column;
    for (column = 0; column < count; ++column)
        cells[column] = fill;
}

struct tremlox_grid *tremlox__grid_create(unsigned width, struct tremlox_cell fill) {
    struct tremlox_grid *grid = calloc(1, sizeof *grid);
    if (grid == NULL)
        return NULL;
    grid->width = width;
    grid->fill = fill;
    grid->charset = TREMLOX_CHARSET_CP437;
    grid->wrapping = TREMLOX_WRAPPING_DOS;
    grid->letter_spacing = 8;
    /* One cell at least, so that an empty grid's row is never malloc(0). */
    grid->fill_row = malloc(sizeof *grid->fill_row * (width > 0 ? width : 1));
    if (grid->fill_row == NULL) {
        free(grid);
        return NULL;
    }
    fill_cells(grid->fill_row, width, fill);
    return grid;
}

static bool reserve_rows(struct tremlox_grid *grid, unsigned count) {
    unsigned capacity = grid->row_capacity > 0 ? grid->row_capacity : 64;
    struct tremlox_cell **rows;
    uint32_t **marks;
    struct tremlox_attributes **attributes;
    unsigned row;
    if (count <= grid->row_capacity)
        return true;
    while (capacity < count)
        capacity *= 2;
    if (capacity > TREMLOX_SCREEN_MAX_ROWS)
        capacity = TREMLOX_SCREEN_MAX_ROWS;
    rows = realloc(grid->rows, sizeof *rows * capacity);
    if (rows == NULL)
        return false;
    grid->rows = rows;
    marks = realloc(grid->marks, sizeof *marks * capacity);
    if (marks == NULL)
        return false;
    grid->marks = marks;
    attributes = realloc(grid->attributes, sizeof *attributes * capacity);
    if (attributes == NULL)
        return false;
    grid->attributes = attributes;
    for (row = grid->row_capacity; row < capacity; ++row) {
        rows[row] = NULL;
        marks[row] = NULL;
        attributes[row] = NULL;
    }
    grid->row_capacity = capacity;
    return true;
}

struct tremlox_cell *tremlox__grid_row_to_draw(struct tremlox_grid *grid, unsigned row) {
    if (!reserve_rows(grid, row + 1))
        return NULL;
    if (grid->rows[row] == NULL) {
        grid->rows[row] = malloc(sizeof *grid->rows[row] * (grid->width > 0 ? grid->width : 1));
        if (grid->rows[row] == NULL)
            return NULL;
        fill_cells(grid->rows[row], grid->width, grid->fill);
    }
    if (grid->height < row + 1)
        grid->height = row + 1;
    return grid->rows[row];
}

bool tremlox__grid_add_mark(struct tremlox_grid *grid, unsigned row, unsigned column,
                            uint32_t mark) {
    struct tremlox_cell *cell = &grid->rows[row][column];
    if (cell->marks >= TREMLOX_CELL_MAX_MARKS)
        return true;
    if (grid->marks[row] == NULL) {
        grid->marks[row] = malloc(sizeof *grid->marks[row] * TREMLOX_CELL_MAX_MARKS * grid->width);
        if (grid->marks[row] == NULL)
            return false;
    }
    grid->marks[row][(size_t)column * TREMLOX_CELL_MAX_MARKS + cell->marks] = mark;
    ++cell->marks;
    return true;
}

bool tremlox__grid_set_attributes(struct tremlox_grid *grid, unsigned row, unsigned column,
                                  const struct tremlox_attributes *given) {
    struct tremlox_attributes *cells = grid->attributes[row];
    if (cells == NULL) {
        unsigned at;
        if (tremlox__attributes_are_plain(given))
            return true;
        cells = malloc(sizeof *cells * grid->width);
        if (cells == NULL)
            return false;
        for (at = 0; at < grid->width; ++at)
            cells[at] = tremlox__plain_attributes;
        grid->attributes[row] = cells;
    }
    memcpy(&cells[column], given, sizeof *given);
    return true;
}

void tremlox__grid_clear(struct tremlox_grid *grid, struct tremlox_cell fill) {
    unsigned row;
    /* Every row made lies above the height. */
    for (row = 0; row < grid->height; ++row) {
        free(grid->rows[row]);
        grid->rows[row] = NULL;
        free(grid->marks[row]);
        grid->marks[row] = NULL;
        free(grid->attributes[row]);
        grid->attributes[row] = NULL;
    }
    grid->height = 0;
    grid->fill = fill;
    fill_cells(grid->fill_row, grid->width, fill);
}

void tremlox_grid_free(struct tremlox_grid *grid) {
    unsigned row;
    if (grid == NULL)
        return;
    for (row = 0; row < grid->row_capacity; ++row) {
        free(grid->rows[row]);
        free(grid->marks[row]);
        free(grid->attributes[row]);
    }
    free(grid->rows);
    free(grid->marks);
    free(grid->attributes);
    free(grid->fill_row);
    free(grid);
}

unsigned tremlox_grid_width(const struct tremlox_grid *grid) {
    return grid != NULL ? grid->width : 0;
}

unsigned tremlox_grid_height(const struct tremlox_grid *grid) {
    return grid != NULL ? grid->height : 0;
}

const struct tremlox_cell *tremlox_grid_row(const struct tremlox_grid *grid, unsigned row) {
    if (grid == NULL || row >= grid->height)
        return NULL;
    return grid->rows[row] != NULL ? grid->rows[row] : grid->fill_row;
}

const uint32_t *tremlox_grid_marks(const struct tremlox_grid *grid, unsigned row, unsigned column) {
    const struct tremlox_cell *cells = tremlox_grid_row(grid, row);
    if (cells == NULL || column >= grid->width || cells[column].marks == 0)
        return NULL;
    return grid->marks[row] + (size_t)column * TREMLOX_CELL_MAX_MARKS;
}

const struct tremlox_attributes *tremlox_grid_attributes(const struct tremlox_grid *grid,
                                                         unsigned row, unsigned column) {
    if (tremlox_grid_row(grid, row) == NULL || column >= grid->width)
        return NULL;
    if (grid->rows[row] == NULL || grid->attributes[row] == NULL)
        return &tremlox__plain_attributes;
    return &grid->attributes[row][column];
}

enum tremlox_charset tremlox_grid_charset(const struct tremlox_grid *grid) {
    return grid != NULL ? grid->charset : TREMLOX_CHARSET_CP437;
}

enum tremlox_wrapping tremlox_grid_wrapping(const struct tremlox_grid *grid) {
    return grid != NULL ? grid->wrapping : TREMLOX_WRAPPING_DOS;
}

unsigned tremlox_grid_letter_spacing(const struct tremlox_grid *grid) {
    return grid != NULL && grid->letter_spacing == 9 ? 9 : 8;
}

bool tremlox_grid_clipped(const struct tremlox_grid *grid) {
    return grid != NULL && grid->clipped;
}
