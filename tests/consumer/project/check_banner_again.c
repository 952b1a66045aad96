/* A second program with a screen of the same name: compares it with the file
 * it came from, byte for byte.
 *
 *   check_banner_again BANNER_FILE
 */
#include "banner.h"

#include <stdio.h>

int main(int argc, char **argv) {
    FILE *file;
    size_t count = 0;
    int byte;
    if (argc != 2 || (file = fopen(argv[1], "rb")) == NULL)
        return 2;
    while ((byte = getc(file)) != EOF && count < banner_size &&
           byte == (unsigned char)banner[count])
        ++count;
    if (byte != EOF || count != banner_size || banner[count] != 0) {
        fprintf(stderr, "check_banner_again: banner differs from %s at byte %lu\n", argv[1],
                (unsigned long)count);
        return 1;
    }
    return 0;
}
