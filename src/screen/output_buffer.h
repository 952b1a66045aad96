/* Bytes on their way to a writer's sink, gathered so that the sink takes
 * many at a time. The sink's first failure is kept, and nothing more is
 * written after it. */
#ifndef TREMLOX_SCREEN_OUTPUT_BUFFER_H
#define TREMLOX_SCREEN_OUTPUT_BUFFER_H

#include <tremlox/screen.h>

#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { tremlox__output_capacity = 16384 };

struct tremlox__output {
    tremlox_write_fn write;
    void *context;
    int failed; /* the sink's value once it failed: nothing more is written */
    size_t used;
    char bytes[tremlox__output_capacity];
};

static inline void tremlox__output_start(struct tremlox__output *output, tremlox_write_fn write,
                                         void *context) {
    output->write = write;
    output->context = context;
    output->failed = 0;
    output->used = 0;
}

/* Hands what is held to the sink, unless it failed before. */
static inline void tremlox__output_flush(struct tremlox__output *output) {
    if (output->used > 0 && output->failed == 0)
        output->failed = output->write(output->context, output->bytes, output->used);
    output->used = 0;
}

/* Makes room for `length` bytes, at most the capacity, to be put in
 * directly or with tremlox__output_put. */
static inline void tremlox__output_make_room(struct tremlox__output *output, size_t length) {
    if (tremlox__output_capacity - output->used < length)
        tremlox__output_flush(output);
}

/* Puts in bytes there is room for. */
static inline void tremlox__output_put(struct tremlox__output *output, const char *bytes,
                                       size_t length) {
    memcpy(output->bytes + output->used, bytes, length);
    output->used += length;
}

#ifdef __cplusplus
}
#endif

#endif
