/* The calls that draw a screen and write it in one: they compose the drawing
 * and the renderer from outside both. */
#include <tremlox/screen.h>

#include <errno.h>

int tremlox_screen_write_with(FILE *out, const char *screen, size_t size,
                              const struct tremlox_screen_options *options) {
    struct tremlox_grid *grid;
    int result;
    if (out == NULL) {
        errno = EINVAL;
        return -1;
    }
    grid = tremlox_screen_draw(screen, size, options);
    if (grid == NULL)
        return -1;
    result = tremlox_grid_write(out, grid, options);
    tremlox_grid_free(grid);
    return result;
}

int tremlox_screen_write_to(tremlox_write_fn write, void *context, const char *screen, size_t size,
                            const struct tremlox_screen_options *options) {
    struct tremlox_grid *grid;
    int result;
    if (write == NULL) {
        errno = EINVAL;
        return -1;
    }
    grid = tremlox_screen_draw(screen, size, options);
    if (grid == NULL)
        return -1;
    result = tremlox_grid_write_to(write, context, grid, options);
    tremlox_grid_free(grid);
    return result;
}

int tremlox_screen_write(FILE *out, const char *screen, size_t size, enum tremlox_charset charset) {
    struct tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = charset;
    return tremlox_screen_write_with(out, screen, size, &options);
}

unsigned tremlox_screen_version(void) {
    return TREMLOX_SCREEN_VERSION;
}
