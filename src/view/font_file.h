// --font: a console font read from a PSF1 or PSF2 file, gzip-compressed as
// Debian ships them in /usr/share/consolefonts or not.
#pragma once

#include "messages.h"

#include <tremlox/screen.h>

#include <memory>

namespace tremlox::view {

struct font_deleter {
    void operator()(tremlox_font *font) const { tremlox_font_free(font); }
};
using font_pointer = std::unique_ptr<tremlox_font, font_deleter>;

// Reads the font file `name`. Reports a failure, "tremlox-view: NAME:
// REASON", and returns false.
bool read_font_file(name_type name, font_pointer &font);

} // namespace tremlox::view
