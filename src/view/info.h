// --info: what a screen's record says and what drawing it decided, one
// "Name: value" line each.
#pragma once

#include "messages.h"

#include <tremlox/screen.h>

#include <string>

namespace tremlox::view {

// Prints the block of lines for the screen `bytes`, drawn into `grid` with
// `screen`, whose picture is painted with `picture`; after an empty line
// unless it is the first block. A failed write is left in `error`.
outcome print_info(name_type name, const std::string &bytes, const tremlox_grid *grid,
                   const tremlox_screen_options &screen, const tremlox_picture_options &picture,
                   bool first_block, platform::error_code &error);

} // namespace tremlox::view
