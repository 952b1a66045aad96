/* Terminals on POSIX systems take UTF-8 and escape sequences as they are. */
#include "console.h"

#include <errno.h>

bool tremlox__console_begin(FILE *out, struct tremlox__console_state *state) {
    (void)out;
    state->changed = 0;
    return false;
}

int tremlox__console_write(FILE *out, struct tremlox__console_state *state, const char *text,
                           size_t length) {
    (void)state;
    errno = 0;
    if (fwrite(text, 1, length, out) == length)
        return 0;
    return errno != 0 ? errno : EIO;
}

void tremlox__console_end(FILE *out, struct tremlox__console_state *state) {
    (void)out;
    (void)state;
}
