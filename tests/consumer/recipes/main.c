/* Compares the two screens compiled in by a recipe of the README with the
 * files they came from, byte for byte.
 *
 *   main TITLE_FILE HELP_FILE
 */
#include "help_screen.h"
#include "title_screen.h"

#include <stdio.h>

static int matches_file(const char *name, const char *screen, size_t size, const char *path) {
    FILE *file = fopen(path, "rb");
    size_t count = 0;
    int byte;
    if (file == NULL) {
        fprintf(stderr, "cannot open %s\n", path);
        return 0;
    }
    while ((byte = getc(file)) != EOF) {
        if (count == size || (unsigned char)screen[count] != byte) {
            fprintf(stderr, "%s differs from %s at byte %lu\n", name, path, (unsigned long)count);
            fclose(file);
            return 0;
        }
        ++count;
    }
    fclose(file);
    if (count != size) {
        fprintf(stderr, "%s has %lu bytes, %s has %lu\n", name, (unsigned long)size, path,
                (unsigned long)count);
        return 0;
    }
    if (screen[size] != 0) {
        fprintf(stderr, "%s lacks its closing 0\n", name);
        return 0;
    }
    return 1;
}

int main(int argc, char **argv) {
    int title_ok, help_ok;
    if (argc != 3) {
        fputs("usage: main TITLE_FILE HELP_FILE\n", stderr);
        return 2;
    }
    title_ok = matches_file("title_screen", title_screen, title_screen_size, argv[1]);
    help_ok = matches_file("help_screen", help_screen, help_screen_size, argv[2]);
    if (!title_ok || !help_ok)
        return 1;
    puts("every screen matches its file");
    return 0;
}
