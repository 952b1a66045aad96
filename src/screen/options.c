/* Reads the caller's options, which may come from an older header. */
#include "options.h"

#include <stddef.h>
#include <string.h>

/* Version 1.1's members end with column_limit: no caller knows fewer. */
static const size_t first_version_size =
    offsetof(struct tremlox_screen_options, column_limit) + sizeof(unsigned);
/* A `size` of 0 comes from a struct set to all zeros, which version 1.2
 * made a way to ask for the defaults. Its members count as far as 1.2's,
 * which every such caller has: later versions must keep this size. */
static const size_t zeroed_size =
    offsetof(struct tremlox_screen_options, default_colours) + sizeof(enum tremlox_default_colours);

bool tremlox__read_options(const struct tremlox_screen_options *given,
                           struct tremlox_screen_options *options) {
    const struct tremlox_screen_options defaults = TREMLOX_SCREEN_OPTIONS_INIT;
    size_t size;
    *options = defaults;
    if (given == NULL)
        return true;
    size = given->size == 0 ? zeroed_size : given->size;
    if (size < first_version_size)
        return false;
    memcpy(options, given, size < sizeof *options ? size : sizeof *options);
    options->size = sizeof *options;
    /* As unsigned, a negative value is out of range too. */
    return (unsigned)options->charset <= TREMLOX_CHARSET_UTF8 &&
           (unsigned)options->wrapping <= TREMLOX_WRAPPING_VT &&
           (unsigned)options->colours <= TREMLOX_COLOURS_NONE &&
           (unsigned)options->default_colours <= TREMLOX_DEFAULT_COLOURS_TERMINAL;
}

bool tremlox__read_image_options(const struct tremlox_image_options *given,
                                 struct tremlox_image_options *options) {
    const struct tremlox_image_options defaults = TREMLOX_IMAGE_OPTIONS_INIT;
    *options = defaults;
    if (given == NULL)
        return true;
    /* Version 1.4's are the first: a smaller `size` but 0 is no caller's. */
    if (given->size != 0 && given->size < sizeof *given)
        return false;
    memcpy(options, given, sizeof *options);
    options->size = sizeof *options;
    return true;
}
