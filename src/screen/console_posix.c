/* Terminals on POSIX systems take UTF-8 and escape sequences as they are,
 * and say their size through TIOCGWINSZ. */

/* fileno and TIOCGWINSZ, which a strict C99 build hides on glibc and macOS. */
#define _DEFAULT_SOURCE
#define _DARWIN_C_SOURCE

#include "console.h"

#include <errno.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

unsigned tremlox__console_columns(FILE *out) {
    struct winsize size;
    const int descriptor = fileno(out);
    if (descriptor < 0 || !isatty(descriptor) || ioctl(descriptor, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}
