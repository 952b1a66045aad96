/* Writes a grid's picture as sixel images: pixels in, escape sequences out.
 * The picture goes in bands, each an image of its own with its own palette,
 * no taller than xterm takes in one image; a band is painted six rows at a
 * time, so memory stays the same whatever the picture's height. */
#include "options.h"
#include "output_buffer.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

enum {
    /* xterm draws no image taller than this (its maxGraphicSize). */
    tallest_image = 1000,
    /* Each sixel is a column of six pixels. */
    sixel_rows = 6,
    default_cell_height = 16,
    most_registers = 256,
    /* Room for a register's definition, a run or a line's end. */
    longest_item = sizeof "#255;2;100;100;100"
};

/* The colour cube of 6 reds, 7 greens and 6 blues (the eye tells greens
 * apart best) that a band of more than 256 colours is shown in. */
enum { cube_reds = 6, cube_greens = 7, cube_blues = 6 };

/* A table from a band's colours to their registers, filled in the order
 * the colours come; twice as big as the most it holds, so it never fills. */
enum { table_size = 2 * most_registers + 1 };
static const uint32_t no_entry = 0xffffffffu;

struct palette {
    uint32_t keys[table_size];
    uint8_t registers[table_size];
    uint32_t colours[most_registers]; /* 0xRRGGBB of each register */
    unsigned count;
    bool cube; /* more than 256 colours: registers are the cube's */
    bool cube_used[cube_reds * cube_greens * cube_blues];
};

struct sixel_writer {
    struct tremlox__output output;
    struct palette palette;
    unsigned width;
    unsigned char *pixels; /* a six-row strip of the picture, painted */
    uint8_t *strip;        /* its pixels' registers */
};

/* Makes room for an item of up to longest_item bytes. */
static void make_room(struct sixel_writer *writer) {
    tremlox__output_make_room(&writer->output, longest_item);
}

static void put_text(struct sixel_writer *writer, const char *text) {
    const size_t length = strlen(text);
    tremlox__output_make_room(&writer->output, length);
    tremlox__output_put(&writer->output, text, length);
}

/* The caller makes room. */
static void put_char(struct sixel_writer *writer, char c) {
    writer->output.bytes[writer->output.used++] = c;
}

static void put_number(struct sixel_writer *writer, unsigned long value) {
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0)
        put_char(writer, digits[--count]);
}

/* The percent (0-100) a sixel colour gives for an 8-bit value. xterm turns
 * percent p into (p * 65535 / 100) >> 8, so of the percents nearest the
 * value, the one xterm shows closest to it, exactly where one does. */
static unsigned percent_of(unsigned value) {
    const unsigned nearest = (value * 100 + 127) / 255;
    unsigned best = nearest;
    unsigned percent;
    for (percent = nearest > 0 ? nearest - 1 : 0; percent <= nearest + 1 && percent <= 100;
         ++percent) {
        const unsigned shown = percent * 65535u / 100 >> 8;
        const unsigned best_shown = best * 65535u / 100 >> 8;
        const unsigned error = shown > value ? shown - value : value - shown;
        const unsigned best_error = best_shown > value ? best_shown - value : value - best_shown;
        if (error < best_error)
            best = percent;
    }
    return best;
}

static uint32_t rgb_of(const unsigned char *pixel) {
    return (uint32_t)pixel[0] << 16 | (uint32_t)pixel[1] << 8 | pixel[2];
}

static unsigned cube_step(unsigned value, unsigned steps) {
    return (value * (steps - 1) + 127) / 255;
}

/* The cube's nearest colour: the nearest step of each channel. */
static unsigned cube_register(uint32_t rgb) {
    return (cube_step(rgb >> 16, cube_reds) * cube_greens +
            cube_step(rgb >> 8 & 255, cube_greens)) *
               cube_blues +
           cube_step(rgb & 255, cube_blues);
}

static uint32_t cube_colour(unsigned index) {
    const unsigned red = index / (cube_greens * cube_blues);
    const unsigned green = index / cube_blues % cube_greens;
    const unsigned blue = index % cube_blues;
    return (uint32_t)(red * 255 / (cube_reds - 1)) << 16 |
           (uint32_t)(green * 255 / (cube_greens - 1)) << 8 | blue * 255 / (cube_blues - 1);
}

/* The register of a colour of the band, given one as it first comes;
 * false when the band has more than 256. */
static bool exact_register(struct palette *palette, uint32_t rgb, unsigned *index) {
    size_t slot = (size_t)(rgb * 2654435761u % table_size);
    while (palette->keys[slot] != no_entry) {
        if (palette->keys[slot] == rgb) {
            *index = palette->registers[slot];
            return true;
        }
        slot = (slot + 1) % table_size;
    }
    if (palette->count == most_registers)
        return false;
    palette->keys[slot] = rgb;
    palette->registers[slot] = (uint8_t)palette->count;
    palette->colours[palette->count] = rgb;
    *index = palette->count++;
    return true;
}

static void start_palette(struct palette *palette) {
    unsigned entry;
    for (entry = 0; entry < table_size; ++entry)
        palette->keys[entry] = no_entry;
    palette->count = 0;
    palette->cube = false;
}

/* Gives the colours of more pixels of the band their registers: the band's
 * own while it has at most 256, else those of the cube that it uses. */
static void add_to_palette(struct palette *palette, const unsigned char *rgba, size_t pixels) {
    size_t pixel = 0;
    unsigned index;
    if (!palette->cube) {
        for (; pixel < pixels; ++pixel)
            if (!exact_register(palette, rgb_of(rgba + pixel * 4), &index))
                break;
        if (pixel == pixels)
            return;
        /* The 257th colour: the colours so far go to the cube too. */
        palette->cube = true;
        memset(palette->cube_used, 0, sizeof palette->cube_used);
        for (index = 0; index < palette->count; ++index)
            palette->cube_used[cube_register(palette->colours[index])] = true;
    }
    for (; pixel < pixels; ++pixel)
        palette->cube_used[cube_register(rgb_of(rgba + pixel * 4))] = true;
}

static unsigned register_of(struct palette *palette, const unsigned char *pixel) {
    unsigned index = 0;
    if (palette->cube)
        return cube_register(rgb_of(pixel));
    exact_register(palette, rgb_of(pixel), &index);
    return index;
}

static void define_register(struct sixel_writer *writer, unsigned index, uint32_t rgb) {
    make_room(writer);
    put_char(writer, '#');
    put_number(writer, index);
    put_char(writer, ';');
    put_char(writer, '2');
    put_char(writer, ';');
    put_number(writer, percent_of(rgb >> 16));
    put_char(writer, ';');
    put_number(writer, percent_of(rgb >> 8 & 255));
    put_char(writer, ';');
    put_number(writer, percent_of(rgb & 255));
}

static void define_registers(struct sixel_writer *writer) {
    const struct palette *palette = &writer->palette;
    unsigned index;
    if (!palette->cube) {
        for (index = 0; index < palette->count; ++index)
            define_register(writer, index, palette->colours[index]);
        return;
    }
    for (index = 0; index < cube_reds * cube_greens * cube_blues; ++index)
        if (palette->cube_used[index])
            define_register(writer, index, cube_colour(index));
}

/* A run of one sixel: as it is up to three times, else !n and the sixel. */
static void put_run(struct sixel_writer *writer, char sixel, unsigned long count) {
    make_room(writer);
    if (count > 3) {
        put_char(writer, '!');
        put_number(writer, count);
        put_char(writer, sixel);
        return;
    }
    while (count-- > 0)
        put_char(writer, sixel);
}

/* Writes one register's pixels of a strip of `rows` rows, as far as its
 * last one: runs of sixels, then $ to go back to the strip's start. */
static void put_register_pixels(struct sixel_writer *writer, unsigned index, unsigned rows) {
    const unsigned width = writer->width;
    unsigned long run = 0;
    char run_sixel = '?';
    unsigned column;
    make_room(writer);
    put_char(writer, '#');
    put_number(writer, index);
    for (column = 0; column < width; ++column) {
        unsigned bits = 0;
        unsigned row;
        char sixel;
        for (row = 0; row < rows; ++row)
            if (writer->strip[(size_t)row * width + column] == index)
                bits |= 1u << row;
        sixel = (char)('?' + bits);
        if (sixel != run_sixel && run > 0) {
            put_run(writer, run_sixel, run);
            run = 0;
        }
        run_sixel = sixel;
        ++run;
    }
    /* Empty sixels at the end of the line draw nothing. */
    if (run_sixel != '?')
        put_run(writer, run_sixel, run);
    make_room(writer);
    put_char(writer, '$');
}

/* Writes a strip of up to six rows of the band, one line of sixels for
 * each register it uses. */
static void put_strip(struct sixel_writer *writer, const unsigned char *rgba, size_t stride,
                      unsigned rows) {
    const unsigned width = writer->width;
    bool used[most_registers] = {false};
    unsigned row;
    unsigned column;
    unsigned index;
    for (row = 0; row < rows; ++row)
        for (column = 0; column < width; ++column) {
            index = register_of(&writer->palette, rgba + row * stride + (size_t)column * 4);
            writer->strip[(size_t)row * width + column] = (uint8_t)index;
            used[index] = true;
        }
    for (index = 0; index < most_registers && writer->output.failed == 0; ++index)
        if (used[index])
            put_register_pixels(writer, index, rows);
}

/* Writes rows first to first + rows - 1 of the picture as one image: the
 * introducer (pixels the image leaves are to stay as they are, though
 * every pixel is drawn), its size in pixels of 1:1, the registers, the
 * strips, and the terminator. The band is painted a strip at a time, twice:
 * once for its palette, which comes first, and once to write it. */
static int put_image(struct sixel_writer *writer, const struct tremlox_grid *grid,
                     const struct tremlox_picture_options *picture, unsigned first,
                     unsigned rows) {
    const size_t stride = (size_t)writer->width * 4;
    unsigned done;
    start_palette(&writer->palette);
    for (done = 0; done < rows; done += sixel_rows) {
        const unsigned count = rows - done < sixel_rows ? rows - done : sixel_rows;
        if (tremlox_grid_paint(grid, picture, first + done, count, writer->pixels, stride) != 0)
            return -1;
        add_to_palette(&writer->palette, writer->pixels, (size_t)writer->width * count);
    }
    put_text(writer, "\x1bP0;1;0q\"1;1;");
    make_room(writer);
    put_number(writer, writer->width);
    put_char(writer, ';');
    put_number(writer, rows);
    define_registers(writer);
    for (done = 0; done < rows && writer->output.failed == 0; done += sixel_rows) {
        const unsigned count = rows - done < sixel_rows ? rows - done : sixel_rows;
        if (tremlox_grid_paint(grid, picture, first + done, count, writer->pixels, stride) != 0)
            return -1;
        if (done > 0) {
            make_room(writer);
            put_char(writer, '-');
        }
        put_strip(writer, writer->pixels, stride, count);
    }
    put_text(writer, "\x1b\\");
    return 0;
}

static unsigned greatest_common_divisor(unsigned a, unsigned b) {
    while (b != 0) {
        const unsigned rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

/* The rows of a band: whole rows of the terminal's cells and whole strips
 * of sixels, so each band starts on a row of cells where the one above
 * ends; as many as xterm takes, or the fewest that are whole where even
 * they are more. */
static unsigned long band_rows(unsigned cell_height, unsigned picture_height) {
    const unsigned long unit =
        (unsigned long)cell_height / greatest_common_divisor(cell_height, sixel_rows) * sixel_rows;
    const unsigned long rows = unit <= tallest_image ? tallest_image / unit * unit : unit;
    return rows < picture_height ? rows : picture_height;
}

static int write_bands(struct sixel_writer *writer, const struct tremlox_grid *grid,
                       const struct tremlox_picture_options *picture, unsigned cell_height,
                       unsigned height) {
    const unsigned long rows = band_rows(cell_height, height);
    unsigned first;
    int result = 0;
    writer->pixels = malloc((size_t)writer->width * 4 * sixel_rows);
    writer->strip = malloc((size_t)writer->width * sixel_rows);
    if (writer->pixels == NULL || writer->strip == NULL) {
        errno = ENOMEM;
        result = -1;
    }
    for (first = 0; result == 0 && first < height && writer->output.failed == 0;
         first += (unsigned)rows) {
        const unsigned count = height - first < rows ? height - first : (unsigned)rows;
        result = put_image(writer, grid, picture, first, count);
        /* xterm leaves the cursor on the row of cells that holds the
         * image's last pixels, in the column it started in: the next band
         * starts on the row below, and the line after the picture at its
         * start. */
        put_text(writer, first + count < height ? "\n" : "\r\n");
    }
    if (result == 0) {
        tremlox__output_flush(&writer->output);
        result = writer->output.failed;
    }
    free(writer->pixels);
    free(writer->strip);
    return result;
}

int tremlox_grid_write_sixel(tremlox_write_fn write, void *context, const struct tremlox_grid *grid,
                             const struct tremlox_picture_options *picture,
                             const struct tremlox_image_options *given) {
    struct tremlox_image_options image;
    struct sixel_writer *writer;
    unsigned width;
    unsigned height;
    int result;
    if (write == NULL || grid == NULL || !tremlox__read_image_options(given, &image)) {
        errno = EINVAL;
        return -1;
    }
    if (tremlox_grid_picture_size(grid, picture, &width, &height) != 0)
        return -1;
    if (width == 0 || height == 0)
        return 0;
    writer = malloc(sizeof *writer);
    if (writer == NULL) {
        errno = ENOMEM;
        return -1;
    }
    tremlox__output_start(&writer->output, write, context);
    writer->width = width;
    result = write_bands(writer, grid, picture,
                         image.cell_height != 0 ? image.cell_height : default_cell_height, height);
    free(writer);
    return result;
}
