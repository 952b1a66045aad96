/* Shows the classic example screen's art, `copies` times one below the
 * other, as sixel images on the terminal, in bands of the terminal's
 * `cell_height`, and keeps the picture it should show in PICTURE, a PPM.
 *
 *     show_sixel CELL_HEIGHT COPIES PICTURE */
#include "classic_screen.h"

#include <tremlox/screen.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int save_picture(const struct tremlox_grid *grid, const char *name) {
    unsigned width, height;
    unsigned char *rgba;
    FILE *file;
    size_t pixel;
    int failed;
    if (tremlox_grid_picture_size(grid, NULL, &width, &height) != 0 ||
        (rgba = malloc((size_t)width * height * 4)) == NULL)
        return -1;
    if (tremlox_grid_paint(grid, NULL, 0, height, rgba, (size_t)width * 4) != 0 ||
        (file = fopen(name, "wb")) == NULL) {
        free(rgba);
        return -1;
    }
    fprintf(file, "P6\n%u %u\n255\n", width, height);
    for (pixel = 0; pixel < (size_t)width * height; ++pixel)
        fwrite(rgba + pixel * 4, 1, 3, file);
    free(rgba);
    failed = ferror(file);
    return fclose(file) != 0 || failed ? -1 : 0;
}

int main(int argc, char **argv) {
    struct tremlox_image_options image = TREMLOX_IMAGE_OPTIONS_INIT;
    const size_t art_size = tremlox_screen_parse(classic_screen, classic_screen_size, NULL);
    struct tremlox_grid *grid;
    char *art;
    int copies;
    int copy;
    if (argc != 4 || (copies = atoi(argv[2])) < 1) {
        fputs("usage: show_sixel CELL_HEIGHT COPIES PICTURE\n", stderr);
        return 2;
    }
    image.cell_height = (unsigned)atoi(argv[1]);
    art = malloc(art_size * (size_t)copies);
    if (art == NULL)
        return 1;
    for (copy = 0; copy < copies; ++copy)
        memcpy(art + art_size * (size_t)copy, classic_screen, art_size);
    grid = tremlox_screen_draw(art, art_size * (size_t)copies, NULL);
    if (grid == NULL || save_picture(grid, argv[3]) != 0 ||
        tremlox_grid_write_sixel(tremlox_write_to_file, stdout, grid, NULL, &image) != 0 ||
        fflush(stdout) != 0) {
        fprintf(stderr, "show_sixel: %s\n", strerror(errno));
        return 1;
    }
    tremlox_grid_free(grid);
    free(art);
    return 0;
}
