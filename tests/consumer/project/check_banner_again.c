/* A second program with a screen of the same name: prints it whole. */
#include "banner.h"

#include <stdio.h>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

int main(void) {
#if defined(_WIN32)
    /* Text mode would add a CR before every LF of the screen. */
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return fwrite(banner, 1, banner_size, stdout) == banner_size && fflush(stdout) == 0 ? 0 : 1;
}
