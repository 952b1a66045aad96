// Reading a whole file, a screen or a font, into memory.
#pragma once

#include "messages.h"

#include <cstddef>
#include <string>

namespace tremlox::view {

// The largest file that is read, and how a larger one is refused.
struct size_limit {
    std::size_t bytes;
    const char *refusal; // "File too large (over 64 MiB)"
};

bool is_standard_input(name_type name);

// Reads the whole file, "-" being standard input, into `bytes`. Reports a
// failure and returns false. Reads at most one byte past the limit, so that
// a huge file is refused without being read to its end. Where `identity`
// is given, it is set to which file was read.
bool read_input_file(name_type name, const size_limit &limit, std::string &bytes,
                     platform::file_identity *identity = nullptr);

} // namespace tremlox::view
