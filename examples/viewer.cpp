// Shows the screens compiled into it on the terminal, one after the other,
// each followed by a status line with its record's title and author.
#include "classic_screen.h"
#include "colours_screen.h"
#include "welcome_screen.h"

#include <tremlox/screen.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {

struct embedded_screen {
    const char *name;
    const char *bytes;
    std::size_t size;
};

// The record's texts are CP437, so the status line is written as CP437 too.
std::string status_line(const embedded_screen &screen, int number, int count) {
    tremlox_sauce sauce;
    tremlox_screen_parse(screen.bytes, screen.size, &sauce);
    std::string line = "\x1b[7m ";
    if (sauce.present)
        line += std::string(sauce.title) + ", by " + sauce.author;
    else
        line += std::string(screen.name) + ", without a record";
    line += " (" + std::to_string(number) + " of " + std::to_string(count) + ") ";
    return line;
}

} // namespace

int main() {
    const embedded_screen screens[] = {
        {"welcome.ans", welcome_screen, welcome_screen_size},
        {"colours.ans", colours_screen, colours_screen_size},
        {"classic.ans", classic_screen, classic_screen_size},
    };
    const int count = static_cast<int>(std::size(screens));
    for (int number = 1; number <= count; ++number) {
        const embedded_screen &screen = screens[number - 1];
        const std::string status = status_line(screen, number, count);
        if (tremlox_screen_write(stdout, screen.bytes, screen.size, TREMLOX_CHARSET_GUESS) != 0 ||
            tremlox_screen_write(stdout, status.data(), status.size(), TREMLOX_CHARSET_CP437) !=
                0) {
            std::fprintf(stderr, "viewer: standard output: %s\n", std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
