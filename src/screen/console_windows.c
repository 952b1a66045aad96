/* A Windows console shows escape sequences only with virtual terminal
 * processing. The text goes to the console as characters, through
 * tremlox__console_text_write: the C runtime's own console output would
 * convert its bytes from the console's code page first. */
#include "console.h"

#include <console_text_windows.h>

#include <errno.h>
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

bool tremlox__console_begin(FILE *out, struct tremlox__console_state *state) {
    const HANDLE console = console_of(out);
    DWORD mode;
    state->changed = 0;
    /* GetConsoleMode fails for files and pipes, which need nothing. */
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return false;
    /* What the program wrote to the stream before comes out first. */
    fflush(out);
    state->saved_mode = mode;
    state->changed = 1;
    state->handle = console;
    /* Consoles older than Windows 10 refuse the mode: they get the text
     * all the same, and AUTO does not count on 24-bit colours there. */
    return SetConsoleMode(console,
                          mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int tremlox__console_write(FILE *out, struct tremlox__console_state *state, const char *text,
                           size_t length) {
    if (!state->changed) {
        errno = 0;
        if (fwrite(text, 1, length, out) == length)
            return 0;
        return errno != 0 ? errno : EIO;
    }
    return tremlox__console_text_write(state->handle, text, length);
}

void tremlox__console_end(FILE *out, struct tremlox__console_state *state) {
    (void)out;
    if (state->changed)
        SetConsoleMode((HANDLE)state->handle, (DWORD)state->saved_mode);
}

unsigned tremlox__console_columns(FILE *out) {
    const HANDLE console = console_of(out);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info))
        return 0;
    return (unsigned)(info.srWindow.Right - info.srWindow.Left + 1);
}
