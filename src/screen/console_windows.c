/* A Windows console shows escape sequences only with virtual terminal
 * processing, and UTF-8 only with the UTF-8 output code page. */
#include "console.h"

#include <io.h>
#include <windows.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

static HANDLE console_of(FILE *out) {
    const int descriptor = _fileno(out);
    if (descriptor < 0)
        return INVALID_HANDLE_VALUE;
    return (HANDLE)_get_osfhandle(descriptor);
}

void tremlox_console_begin(FILE *out, struct tremlox_console_state *state) {
    const HANDLE console = console_of(out);
    DWORD mode;
    state->changed = 0;
    /* GetConsoleMode fails for files and pipes, which need nothing. */
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return;
    state->saved_mode = mode;
    state->saved_code_page = GetConsoleOutputCP();
    state->changed = 1;
    SetConsoleMode(console, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    SetConsoleOutputCP(CP_UTF8);
}

void tremlox_console_end(FILE *out, const struct tremlox_console_state *state) {
    const HANDLE console = console_of(out);
    if (!state->changed || console == INVALID_HANDLE_VALUE)
        return;
    SetConsoleMode(console, (DWORD)state->saved_mode);
    SetConsoleOutputCP(state->saved_code_page);
}
