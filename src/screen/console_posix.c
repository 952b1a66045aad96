/* Terminals on POSIX systems take UTF-8 and escape sequences as they are. */
#include "console.h"

void tremlox_console_begin(FILE *out, struct tremlox_console_state *state) {
    (void)out;
    state->changed = 0;
}

void tremlox_console_end(FILE *out, const struct tremlox_console_state *state) {
    (void)out;
    (void)state;
}
