// A Windows console shows the columns of its window, which may be fewer than
// those of its buffer.
#include "terminal_width.h"

#include <io.h>
#include <windows.h>

unsigned terminal_width(std::FILE *out) {
    const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info))
        return 0;
    return static_cast<unsigned>(info.srWindow.Right - info.srWindow.Left + 1);
}
