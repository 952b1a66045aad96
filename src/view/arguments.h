// tremlox-view's options, read in the manner of GNU getopt_long, and the
// settings they make.
#pragma once

#include "messages.h"

#include <tremlox/screen.h>

#include <vector>

namespace tremlox::view {

// How a screen reaches the terminal: as text, or as a picture in one of
// the terminals' image protocols.
enum class graphics_mode { none, sixel, kitty };

struct settings {
    tremlox_screen_options screen = TREMLOX_SCREEN_OPTIONS_INIT;
    bool info = false;
    graphics_mode graphics = graphics_mode::none;
    name_type output = nullptr;  // -o: the PNG file, "-" for standard output
    name_type font = nullptr;    // a PSF file; nullptr: the built-in font
    unsigned letter_spacing = 0; // 8 or 9; 0: what the record asks
    unsigned scale = 1;
    std::vector<name_type> files;
};

// Reads the options and the names of the files into `settings`. Returns
// carry_on, or the exit status when the run ends here (after --help,
// --version or a usage error, which it reports).
int read_arguments(int argc, native_char **argv, settings &settings);

} // namespace tremlox::view
