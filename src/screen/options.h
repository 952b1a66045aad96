/* The options a caller gives, read with their defaults. */
#ifndef TREMLOX_SCREEN_OPTIONS_H
#define TREMLOX_SCREEN_OPTIONS_H

#include <tremlox/screen.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Fills `options` from `given` (NULL for the defaults); the members past
 * the `size` a caller knows keep their defaults. Returns false for a
 * `size` smaller than the first version's or a value no enum holds. */
bool tremlox__read_options(const struct tremlox_screen_options *given,
                           struct tremlox_screen_options *options);

/* Fills `options` from `given` (NULL for the defaults), as the image
 * writers read them. Returns false for a `size` that is neither 0 nor that
 * of version 1.4's struct or later. */
bool tremlox__read_image_options(const struct tremlox_image_options *given,
                                 struct tremlox_image_options *options);

#ifdef __cplusplus
}
#endif

#endif
