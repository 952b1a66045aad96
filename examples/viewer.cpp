// Writes the screens compiled into it back to the terminal, one after the other.
#include "colours_screen.h"
#include "welcome_screen.h"

#include <cstdio>

namespace {

bool write_screen(const char *screen, std::size_t size) {
    return std::fwrite(screen, 1, size, stdout) == size;
}

} // namespace

int main() {
    const bool written = write_screen(welcome_screen, welcome_screen_size) &&
                         write_screen(colours_screen, colours_screen_size);
    // A full disk or a closed pipe may only show when the buffer goes out.
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
