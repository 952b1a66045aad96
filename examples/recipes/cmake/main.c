/* Shows the title screen, or with the argument "help" the help screen: both
 * are compiled in by the build, and shown through tremlox::screen. */
#include "help_screen.h"
#include "title_screen.h"

#include <tremlox/screen.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv) {
    const char *screen = title_screen;
    size_t size = title_screen_size;
    if (argc > 1 && strcmp(argv[1], "help") == 0) {
        screen = help_screen;
        size = help_screen_size;
    }
    if (tremlox_screen_write(stdout, screen, size, TREMLOX_CHARSET_GUESS) != 0) {
        perror("game: standard output");
        return 1;
    }
    return 0;
}
