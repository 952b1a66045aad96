// What the viewer needs to know of the terminal it shows screens on.
#ifndef TREMLOX_EXAMPLES_TERMINAL_WIDTH_H
#define TREMLOX_EXAMPLES_TERMINAL_WIDTH_H

#include <cstdio>

// The columns of the terminal or console `out` shows, or 0 when it is none
// (a pipe, a file), where nothing needs clipping.
unsigned terminal_width(std::FILE *out);

#endif
