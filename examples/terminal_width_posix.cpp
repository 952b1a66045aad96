// A POSIX terminal says its size through TIOCGWINSZ.
#include "terminal_width.h"

#include <sys/ioctl.h>
#include <unistd.h>

unsigned terminal_width(std::FILE *out) {
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}
