/* A second program with a screen of the same name: prints it whole. */
#include "banner.h"

#include <stdio.h>

int main(void) {
    return fwrite(banner, 1, banner_size, stdout) == banner_size && fflush(stdout) == 0 ? 0 : 1;
}
