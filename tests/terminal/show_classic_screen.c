/* Shows the classic example screen, compiled in, on the terminal. */
#include "classic_screen.h"

#include <tremlox/screen.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    if (tremlox_screen_write(stdout, classic_screen, classic_screen_size, TREMLOX_CHARSET_GUESS) !=
        0) {
        fprintf(stderr, "show_classic_screen: standard output: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}
