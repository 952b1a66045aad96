/* Shows the title screen, or with an argument ("game help") the help screen:
 * both are compiled in by the build, and shown through tremlox::screen. */
#include "help_screen.h"
#include "title_screen.h"
#include <tremlox/screen.h>
#include <stdio.h>

int main(int argc, char **argv) {
    const char *screen = argc > 1 ? help_screen : title_screen;
    const size_t size = argc > 1 ? help_screen_size : title_screen_size;
    (void)argv;
    if (tremlox_screen_write(stdout, screen, size, TREMLOX_CHARSET_GUESS) != 0) {
        perror("game: standard output");
        return 1;
    }
    return 0;
}
