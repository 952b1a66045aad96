/* The screens as C sees them through their headers. */
#include "check_screens.h"

#include "all_bytes.h"
#include "banner.h"
#include "empty.h"

#include <stdio.h>

static int expect(int ok, const char *what) {
    if (!ok)
        fprintf(stderr, "C: %s\n", what);
    return ok ? 0 : 1;
}

int check_screens_from_c(void) {
    int failures = 0;
    size_t i;
    failures += expect(all_bytes_size == 256, "all_bytes_size is not 256");
    for (i = 0; i < 256 && i < all_bytes_size; ++i)
        failures += expect((size_t)(unsigned char)all_bytes[i] == i, "all_bytes[i] is not i");
    failures += expect(all_bytes[all_bytes_size] == 0, "all_bytes lacks its closing 0");
    failures += expect(empty_size == 0 && empty[0] == 0, "empty is not empty");
    failures += expect(banner_size > 2 && banner[0] == 27 && banner[1] == '[',
                       "banner does not begin with an escape sequence");
    return failures;
}
