// Shows the screens compiled into it on the terminal, one after the other,
// each followed by a status line with its record's title, author and
// comment. The library clips every row to the terminal's width.
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

// The record's texts are CP437, so the status line is drawn as CP437 too,
// in reverse video.
std::string status_line(const embedded_screen &screen, int number, int count) {
    tremlox_sauce sauce;
    tremlox_screen_parse(screen.bytes, screen.size, &sauce);
    std::string line = "\x1b[7m ";
    if (sauce.present)
        line += std::string(sauce.title) + ", by " + sauce.author;
    else
        line += std::string(screen.name) + ", without a record";
    line += " (" + std::to_string(number) + " of " + std::to_string(count) + ")";
    for (unsigned comment = 0; comment < sauce.comment_lines; ++comment) {
        char text[65];
        if (tremlox_screen_comment(screen.bytes, screen.size, comment, text))
            line += std::string(" | ") + text;
    }
    return line + " ";
}

} // namespace

int main() {
    const embedded_screen screens[] = {
        {"welcome.ans", welcome_screen, welcome_screen_size},
        {"colours.ans", colours_screen, colours_screen_size},
        {"classic.ans", classic_screen, classic_screen_size},
    };
    const int count = static_cast<int>(std::size(screens));
    const tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    for (int number = 1; number <= count; ++number) {
        const embedded_screen &screen = screens[number - 1];
        const std::string status = status_line(screen, number, count);
        tremlox_screen_options status_options = options;
        status_options.charset = TREMLOX_CHARSET_CP437;
        status_options.width = static_cast<unsigned>(status.size() - std::strlen("\x1b[7m"));
        if (tremlox_screen_write_with(stdout, screen.bytes, screen.size, &options) != 0 ||
            tremlox_screen_write_with(stdout, status.data(), status.size(), &status_options) != 0) {
            std::fprintf(stderr, "viewer: standard output: %s\n", std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
