/* A Windows console shows escape sequences only with virtual terminal
 * processing, and UTF-8 only with the UTF-8 output code page. The text then
 * goes to the console with WriteFile, as the bytes they are: the C runtime's
 * own console output may convert them from another code page first. */
#include "console.h"

#include <errno.h>
#include <io.h>
#include <string.h>
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

bool tremlox_console_begin(FILE *out, struct tremlox_console_state *state) {
    const HANDLE console = console_of(out);
    DWORD mode;
    state->changed = 0;
    state->used = 0;
    /* GetConsoleMode fails for files and pipes, which need nothing. */
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return false;
    /* What the program wrote to the stream before comes out first. */
    fflush(out);
    state->saved_mode = mode;
    state->saved_code_page = GetConsoleOutputCP();
    state->changed = 1;
    state->handle = console;
    SetConsoleOutputCP(CP_UTF8);
    /* Consoles older than Windows 10 refuse the mode: they get the text
     * all the same, and AUTO does not count on 24-bit colours there. */
    return SetConsoleMode(console,
                          mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

static int write_buffered(struct tremlox_console_state *state) {
    const char *next = state->buffer;
    size_t left = state->used;
    state->used = 0;
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile((HANDLE)state->handle, next, (DWORD)left, &written, NULL) || written == 0)
            return EIO;
        next += written;
        left -= written;
    }
    return 0;
}

int tremlox_console_write(FILE *out, struct tremlox_console_state *state, const char *text,
                          size_t length) {
    if (!state->changed) {
        errno = 0;
        if (fwrite(text, 1, length, out) == length)
            return 0;
        return errno != 0 ? errno : EIO;
    }
    while (length > 0) {
        size_t room = sizeof state->buffer - state->used;
        const size_t part = length < room ? length : room;
        memcpy(state->buffer + state->used, text, part);
        state->used += part;
        text += part;
        length -= part;
        if (state->used == sizeof state->buffer) {
            const int error = write_buffered(state);
            if (error != 0)
                return error;
        }
    }
    return 0;
}

int tremlox_console_end(FILE *out, struct tremlox_console_state *state) {
    int error;
    (void)out;
    if (!state->changed)
        return 0;
    error = write_buffered(state);
    SetConsoleMode((HANDLE)state->handle, (DWORD)state->saved_mode);
    SetConsoleOutputCP(state->saved_code_page);
    return error;
}
