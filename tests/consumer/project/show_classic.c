/* Shows an embedded classic screen (CP437, iCE colours, a SAUCE record)
 * through tremlox::screen: a C program that needs no C++ runtime. */
#include "classic.h"

#include <tremlox/screen.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    struct tremlox_sauce sauce;
#ifdef EXPECTED_VERSION
    if (TREMLOX_SCREEN_VERSION != EXPECTED_VERSION ||
        tremlox_screen_version() != TREMLOX_SCREEN_VERSION) {
        fprintf(stderr, "show_classic: version %u of the library, %d of its header, %d expected\n",
                tremlox_screen_version(), TREMLOX_SCREEN_VERSION, EXPECTED_VERSION);
        return 3;
    }
#endif
    tremlox_screen_parse(classic, classic_size, &sauce);
    if (!sauce.present || sauce.width != 80 || !sauce.ice_colours) {
        fputs("show_classic: the screen's record was not read\n", stderr);
        return 2;
    }
    if (tremlox_screen_write(stdout, classic, classic_size, TREMLOX_CHARSET_GUESS) != 0) {
        fprintf(stderr, "show_classic: standard output: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}
