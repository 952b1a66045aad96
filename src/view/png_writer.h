// Pictures of screens as PNG files.
#pragma once

#include <tremlox/screen.h>

namespace tremlox::view {

// Writes the grid's picture, painted with `options`, as a PNG through
// `write`: palette-indexed where it has at most 256 colours (4 bits a pixel
// for at most 16, as every classic screen has), else RGB. The picture is
// painted band by band twice, once to learn its colours and once to
// compress it, so that the memory it takes does not grow with the screen's
// height. Returns 0, the sink's non-zero value, or -1 with errno set:
// EINVAL for bad options or a picture without pixels, ENOMEM.
int write_png(tremlox_write_fn write, void *context, const tremlox_grid *grid,
              const tremlox_picture_options &options);

} // namespace tremlox::view
