/* Writes the 256 byte values, 0 to 255, in order to the file named. */
#include <stdio.h>

int main(int argc, char **argv) {
    FILE *file;
    int value;
    if (argc != 2)
        return 2;
    file = fopen(argv[1], "wb");
    if (file == NULL)
        return 1;
    for (value = 0; value < 256; ++value)
        if (putc(value, file) == EOF)
            break;
    return fclose(file) == 0 && value == 256 ? 0 : 1;
}
