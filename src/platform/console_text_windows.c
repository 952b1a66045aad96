/* UTF-8 text to a Windows console as the characters it holds. */
#include "console_text_windows.h"

#include "utf8.h"

#include <errno.h>
#include <windows.h>

int tremlox__console_text_write(void *console, const char *text, size_t length) {
    /* No character takes more UTF-16 units than UTF-8 bytes. */
    wchar_t wide[4096];
    while (length > 0) {
        size_t part = length < 4096 ? length : tremlox__utf8_whole_characters(text, 4096);
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
