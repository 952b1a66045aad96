/* The one way tremlox and tremlox::screen write text to a Windows console. */
#ifndef TREMLOX_CONSOLE_TEXT_WINDOWS_H
#define TREMLOX_CONSOLE_TEXT_WINDOWS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writes UTF-8 text to the console handle as the characters it holds,
 * whatever the console's code page: WriteConsoleW on its UTF-16 form. The
 * text must end with a whole character. Returns 0, or the errno value of a
 * failed write. */
int tremlox__console_text_write(void *console, const char *text, size_t length);

#ifdef __cplusplus
}
#endif

#endif
