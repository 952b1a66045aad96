// A screen as a picture: written to a PNG file (-o), or shown on a terminal
// that takes images (--graphics).
#pragma once

#include "arguments.h"

#include <tremlox/screen.h>

namespace tremlox::view {

// The screen whose picture is written: its name, and which file it was.
struct picture_source {
    name_type name;
    platform::file_identity identity;
};

// Writes the grid's picture as a PNG to `output_name`, "-" being standard
// output; never over the screen's own file. A regular file is removed again
// when it could not be written whole. Reports a failure of the file; a
// failure of standard output is left to the caller in `error`.
outcome write_picture_file(const picture_source &source, name_type output_name,
                           const tremlox_grid *grid, const tremlox_picture_options &options,
                           platform::error_code &error);

// Writes the grid's picture to standard output in the image protocol of
// `mode` (sixel or kitty). A failed write is left to the caller in `error`;
// running out of memory is reported for `name`.
outcome show_picture(name_type name, graphics_mode mode, const tremlox_grid *grid,
                     const tremlox_picture_options &options, platform::error_code &error);

} // namespace tremlox::view
