/* A Windows console shows escape sequences only with virtual terminal
 * processing. The text goes to the console as characters, through
 * tremlox_windows_console_write: the C runtime's own console output would
 * convert its bytes from the console's code page first. */
#include "console.h"
#include "windows_console.h"

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

bool tremlox_console_begin(FILE *out, struct tremlox_console_state *state) {
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

/* The length of the longest start of the text that ends with a whole UTF-8
 * character: the text itself, unless its last character is cut short. */
static size_t whole_characters(const char *text, size_t length) {
    size_t lead = length;
    while (lead > 0 && length - lead < 3 && ((unsigned char)text[lead - 1] & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return length;
    const unsigned char first = (unsigned char)text[lead - 1];
    const size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    return length - (lead - 1) < needed ? lead - 1 : length;
}

int tremlox_windows_console_write(void *console, const char *text, size_t length) {
    /* No character takes more UTF-16 units than UTF-8 bytes. */
    wchar_t wide[4096];
    while (length > 0) {
        size_t part = length < 4096 ? length : whole_characters(text, 4096);
        if (part == 0)
            part = 4096;
        const int count = MultiByteToWideChar(CP_UTF8, 0, text, (int)part, wide, 4096);
        const wchar_t *next = wide;
        DWORD left = count > 0 ? (DWORD)count : 0;
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW((HANDLE)console, next, left, &written, NULL) || written == 0)
                return EIO;
            next += written;
            left -= written;
        }
        text += part;
        length -= part;
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
    return tremlox_windows_console_write(state->handle, text, length);
}

void tremlox_console_end(FILE *out, struct tremlox_console_state *state) {
    (void)out;
    if (state->changed)
        SetConsoleMode((HANDLE)state->handle, (DWORD)state->saved_mode);
}
