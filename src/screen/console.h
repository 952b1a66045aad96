/* What the terminal writer needs from the platform's console. */
#ifndef TREMLOX_SCREEN_CONSOLE_H
#define TREMLOX_SCREEN_CONSOLE_H

#include <stdio.h>

/* The console's settings before tremlox_console_begin changed them. */
struct tremlox_console_state {
    unsigned long saved_mode;
    unsigned int saved_code_page;
    int changed;
};

/* Makes a console `out` take UTF-8 text and escape sequences, remembering
 * how it was in `state`. Does nothing where terminals do that already, or
 * when `out` is no console. */
void tremlox_console_begin(FILE *out, struct tremlox_console_state *state);

/* Gives the console back the settings tremlox_console_begin found. */
void tremlox_console_end(FILE *out, const struct tremlox_console_state *state);

#endif
