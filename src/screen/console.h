/* What the terminal renderer needs from the platform's console: a console
 * stream that takes UTF-8 and escape sequences, a way to write bytes to it
 * as they are, and its width. */
#ifndef TREMLOX_SCREEN_CONSOLE_H
#define TREMLOX_SCREEN_CONSOLE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdio.h>

/* The console's settings before tremlox__console_begin changed them. */
struct tremlox__console_state {
    unsigned long saved_mode;
    int changed;
    void *handle;
};

/* Makes a console `out` take UTF-8 text and escape sequences, remembering
 * how it was in `state`. Does nothing where terminals do that already, or
 * when `out` is no console. Returns true when `out` is a console that was
 * switched to virtual terminal processing, which shows 24-bit colours. */
bool tremlox__console_begin(FILE *out, struct tremlox__console_state *state);

/* Writes text to `out`; the text ends with a whole UTF-8 character. Returns
 * 0, or the errno value of a failed write. */
int tremlox__console_write(FILE *out, struct tremlox__console_state *state, const char *text,
                           size_t length);

/* Gives the console back the settings tremlox__console_begin found. */
void tremlox__console_end(FILE *out, struct tremlox__console_state *state);

/* The columns the terminal or console `out` shows (a Windows console: its
 * window's), or 0 when `out` is none, or does not say. */
unsigned tremlox__console_columns(FILE *out);

#endif
