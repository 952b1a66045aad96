/* Writes a grid's picture as one image of the kitty graphics protocol:
 * pixels in, escape sequences out. The picture is painted a band at a time
 * and its pixels (or their zlib stream) go out as they come, in base64
 * chunks of the protocol's size, so memory stays the same whatever the
 * picture's height. */
#include "options.h"
#include "output_buffer.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum {
    /* The most base64 the protocol takes in one escape sequence. */
    chunk_size = 4096,
    /* Pixels painted at a time, whatever the picture's width. */
    band_pixels = 65536
};

/* Takes bytes, writes them as base64 in chunks. A chunk is held until the
 * next one starts or the payload ends, as only then is it known whether
 * more follow (m=1). */
struct chunker {
    struct tremlox__output output;
    const char *keys; /* the image's keys, sent with the first chunk */
    bool first;
    unsigned char carry[3]; /* bytes not yet a whole group of base64 */
    size_t carried;
    size_t used;
    char chunk[chunk_size];
};

static const char base64_alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

static void send(struct chunker *chunker, const char *bytes, size_t size) {
    tremlox__output_make_room(&chunker->output, size);
    tremlox__output_put(&chunker->output, bytes, size);
}

/* Sends the chunk held, its keys first: the image's with the first. */
static void send_chunk(struct chunker *chunker, bool more) {
    send(chunker, "\x1b_G", 3);
    if (chunker->first) {
        send(chunker, chunker->keys, strlen(chunker->keys));
        send(chunker, ",", 1);
        chunker->first = false;
    }
    send(chunker, more ? "m=1;" : "m=0;", 4);
    send(chunker, chunker->chunk, chunker->used);
    send(chunker, "\x1b\\", 2);
    chunker->used = 0;
}

/* Adds four characters of base64, sending the chunk held when it is full:
 * a chunk always holds whole groups of four. */
static void put_group(struct chunker *chunker, const char group[4]) {
    if (chunker->used == chunk_size)
        send_chunk(chunker, true);
    memcpy(chunker->chunk + chunker->used, group, 4);
    chunker->used += 4;
}

static void encode_group(struct chunker *chunker, const unsigned char bytes[3]) {
    const char group[4] = {
        base64_alphabet[bytes[0] >> 2],
        base64_alphabet[(bytes[0] & 3) << 4 | bytes[1] >> 4],
        base64_alphabet[(bytes[1] & 15) << 2 | bytes[2] >> 6],
        base64_alphabet[bytes[2] & 63],
    };
    put_group(chunker, group);
}

/* A tremlox_write_fn: the chunker takes the payload, the compressor's zlib
 * stream or the pixels themselves. */
static int put_payload(void *context, const char *bytes, size_t size) {
    struct chunker *chunker = context;
    const unsigned char *next = (const unsigned char *)bytes;
    const unsigned char *end = next + size;
    while (next < end && chunker->output.failed == 0) {
        if (chunker->carried > 0 || end - next < 3) {
            chunker->carry[chunker->carried++] = *next++;
            if (chunker->carried == 3) {
                encode_group(chunker, chunker->carry);
                chunker->carried = 0;
            }
        } else {
            encode_group(chunker, next);
            next += 3;
        }
    }
    return chunker->output.failed;
}

/* Ends the payload: the last bytes with base64's padding, and the last
 * chunk. */
static int end_payload(struct chunker *chunker) {
    if (chunker->carried > 0) {
        unsigned char last[3] = {0, 0, 0};
        char group[4];
        memcpy(last, chunker->carry, chunker->carried);
        group[0] = base64_alphabet[last[0] >> 2];
        group[1] = base64_alphabet[(last[0] & 3) << 4 | last[1] >> 4];
        group[2] = chunker->carried == 2 ? base64_alphabet[(last[1] & 15) << 2] : '=';
        group[3] = '=';
        put_group(chunker, group);
    }
    send_chunk(chunker, false);
    /* kitty leaves the cursor right of the image, on its last row of
     * cells. */
    send(chunker, "\r\n", 2);
    tremlox__output_flush(&chunker->output);
    return chunker->output.failed;
}

/* Paints the picture band by band and hands each band's red, green and
 * blue to the compressor, or to the chunker as they are. */
static int send_pixels(struct chunker *chunker, const struct tremlox_grid *grid,
                       const struct tremlox_picture_options *picture,
                       const struct tremlox_image_options *image, unsigned width, unsigned height) {
    const unsigned rows = band_pixels / width > 0 ? band_pixels / width : 1;
    unsigned char *band = malloc((size_t)width * rows * 4);
    unsigned first;
    int result = 0;
    if (band == NULL) {
        errno = ENOMEM;
        return -1;
    }
    for (first = 0; first < height && result == 0; first += rows) {
        const unsigned count = height - first < rows ? height - first : rows;
        const size_t pixels = (size_t)width * count;
        size_t pixel;
        if (tremlox_grid_paint(grid, picture, first, count, band, (size_t)width * 4) != 0) {
            result = -1;
            break;
        }
        /* RGB in place of RGBA: each pixel moves down, never onto one
         * not yet moved. */
        for (pixel = 0; pixel < pixels; ++pixel) {
            band[pixel * 3] = band[pixel * 4];
            band[pixel * 3 + 1] = band[pixel * 4 + 1];
            band[pixel * 3 + 2] = band[pixel * 4 + 2];
        }
        if (image->compress != NULL)
            result = image->compress(image->compress_context, band, pixels * 3,
                                     first + count == height, put_payload, chunker);
        else
            result = put_payload(chunker, (const char *)band, pixels * 3);
    }
    free(band);
    return result;
}

int tremlox_grid_write_kitty(tremlox_write_fn write, void *context, const struct tremlox_grid *grid,
                             const struct tremlox_picture_options *picture,
                             const struct tremlox_image_options *given) {
    struct tremlox_image_options image;
    struct chunker *chunker;
    char keys[sizeof "a=T,f=24,s=4294967295,v=4294967295,q=2,o=z"];
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
    chunker = malloc(sizeof *chunker);
    if (chunker == NULL) {
        errno = ENOMEM;
        return -1;
    }
    /* Shown at once (a=T), and quietly (q=2): an answer would reach the
     * program reading the terminal, as if the user typed it. */
    sprintf(keys, "a=T,f=24,s=%u,v=%u,q=2%s", width, height, image.compress != NULL ? ",o=z" : "");
    tremlox__output_start(&chunker->output, write, context);
    chunker->keys = keys;
    chunker->first = true;
    chunker->carried = 0;
    chunker->used = 0;
    result = send_pixels(chunker, grid, picture, &image, width, height);
    if (result == 0)
        result = end_payload(chunker);
    free(chunker);
    return result;
}
