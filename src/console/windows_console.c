/* UTF-8 text to a Windows console as the characters it holds. */
#include "windows_console.h"

#include <errno.h>
#include <windows.h>

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

int tremlox__windows_console_write(void *console, const char *text, size_t length) {
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
