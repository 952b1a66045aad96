/* Writes the screen compiled into it back to the terminal. */
#include <stdio.h>

#include "welcome.c"

int main(void) {
    /* The array ends with an extra 0 that is not part of the screen. */
    const size_t size = sizeof screendata - 1;
    return fwrite(screendata, 1, size, stdout) == size ? 0 : 1;
}
