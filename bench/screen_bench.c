/* Times tremlox::screen drawing a 100 KB screen into a grid and writing the
 * grid in each colour mode, over repeated runs, and prints the minimum and
 * the median of each. A benchmark, not a test: run it by hand.
 *
 *     screen_bench SCREEN [RUNS] [OUTPUT]
 *
 * The art of SCREEN (a classic screen, such as examples/classic.ans) is
 * repeated to 100 KB and given SCREEN's record, so it draws as one tall
 * screen. The text goes to OUTPUT, by default the null device. */
#include <tremlox/screen.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { screen_size = 100 * 1024, largest_runs = 1000, record_size = 128 };

static const char null_device[] = "/dev/null";

static double now(void) {
    struct timespec time;
    timespec_get(&time, TIME_UTC);
    return (double)time.tv_sec + (double)time.tv_nsec / 1e9;
}

static int by_value(const void *left, const void *right) {
    const double a = *(const double *)left;
    const double b = *(const double *)right;
    return (a > b) - (a < b);
}

/* The art of `source` repeated to 100 KB, then byte 26 and its record. */
static char *tall_screen(const char *source, size_t size, size_t *tall_size) {
    struct tremlox_sauce sauce;
    const size_t art = tremlox_screen_parse(source, size, &sauce);
    char *screen = malloc(screen_size + 1 + record_size);
    size_t used = 0;
    if (screen == NULL || art == 0)
        return NULL;
    while (used + art <= screen_size) {
        memcpy(screen + used, source, art);
        used += art;
    }
    if (sauce.present) {
        screen[used++] = 26;
        memcpy(screen + used, source + size - record_size, record_size);
        used += record_size;
    }
    *tall_size = used;
    return screen;
}

static char *read_file(const char *name, size_t *size) {
    FILE *file = fopen(name, "rb");
    char *bytes = malloc(screen_size);
    if (file == NULL || bytes == NULL) {
        free(bytes);
        if (file != NULL)
            fclose(file);
        return NULL;
    }
    *size = fread(bytes, 1, screen_size, file);
    fclose(file);
    return bytes;
}

int main(int argc, char **argv) {
    static const struct {
        const char *name;
        enum tremlox_colours colours;
    } modes[] = {{"24-bit", TREMLOX_COLOURS_24_BIT},
                 {"256", TREMLOX_COLOURS_256},
                 {"16", TREMLOX_COLOURS_16},
                 {"none", TREMLOX_COLOURS_NONE}};
    static double draw_times[largest_runs];
    static double write_times[largest_runs];
    const int runs = argc > 2 ? atoi(argv[2]) : 20;
    size_t source_size = 0;
    size_t size = 0;
    char *source;
    char *screen;
    FILE *out;
    size_t mode;

    if (argc < 2 || runs < 1 || runs > largest_runs) {
        fputs("usage: screen_bench SCREEN [RUNS (1-1000)] [OUTPUT]\n", stderr);
        return 1;
    }
    source = read_file(argv[1], &source_size);
    screen = source != NULL ? tall_screen(source, source_size, &size) : NULL;
    out = fopen(argc > 3 ? argv[3] : null_device, "wb");
    if (screen == NULL || out == NULL) {
        fprintf(stderr, "screen_bench: cannot read %s or open the output\n", argv[1]);
        return 2;
    }
    printf("%zu bytes of screen, %d runs; minimum and median in milliseconds\n", size, runs);
    for (mode = 0; mode < sizeof modes / sizeof modes[0]; ++mode) {
        struct tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
        unsigned height = 0;
        int run;
        options.colours = modes[mode].colours;
        for (run = 0; run < runs; ++run) {
            const double start = now();
            struct tremlox_grid *grid = tremlox_screen_draw(screen, size, &options);
            const double drawn = now();
            if (grid == NULL || tremlox_grid_write(out, grid, &options) != 0) {
                perror("screen_bench");
                return 2;
            }
            write_times[run] = now() - drawn;
            draw_times[run] = drawn - start;
            height = tremlox_grid_height(grid);
            tremlox_grid_free(grid);
        }
        qsort(draw_times, (size_t)runs, sizeof draw_times[0], by_value);
        qsort(write_times, (size_t)runs, sizeof write_times[0], by_value);
        printf("%-7s %u rows: draw %.3f / %.3f, write %.3f / %.3f\n", modes[mode].name, height,
               draw_times[0] * 1e3, draw_times[runs / 2] * 1e3, write_times[0] * 1e3,
               write_times[runs / 2] * 1e3);
    }
    fclose(out);
    free(screen);
    free(source);
    return 0;
}
