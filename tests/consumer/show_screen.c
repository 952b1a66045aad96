/* Shows a screen of CP437 shades through tremlox::screen: a program that
 * needs nothing but the library, its header and the C library. */
#include <tremlox/screen.h>

#include <stdio.h>

int main(void) {
    static const char screen[] = "\xb0\xb1\xb2\xdb tremlox::screen\r\n";
    if (tremlox_screen_write(stdout, screen, sizeof screen - 1, TREMLOX_CHARSET_CP437) != 0)
        return 1;
    return 0;
}
