// Compares each screen compiled in with the file it came from, byte for byte.
//
//   check_screens BANNER_FILE ALL_BYTES_FILE
#include "check_screens.h"

#include "all_bytes.h"
#include "banner.h"
#include "empty.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

int failures = 0;

void expect(bool ok, const std::string &what) {
    if (!ok) {
        std::fprintf(stderr, "C++: %s\n", what.c_str());
        ++failures;
    }
}

std::string read_file(const char *path) {
    std::ifstream file(path, std::ios::binary);
    expect(file.is_open(), std::string("cannot open ") + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void check_screen(const char *name, const char *screen, std::size_t size,
                  const std::string &expected) {
    expect(size == expected.size(), std::string(name) + "_size is " + std::to_string(size) +
                                        ", the file has " + std::to_string(expected.size()) +
                                        " bytes");
    expect(std::equal(expected.begin(), expected.end(), screen, screen + size),
           std::string(name) + " differs from its file");
    expect(screen[size] == '\0', std::string(name) + " lacks its closing 0");
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fputs("usage: check_screens BANNER_FILE ALL_BYTES_FILE\n", stderr);
        return 2;
    }
    check_screen("banner", banner, banner_size, read_file(argv[1]));
    check_screen("all_bytes", all_bytes, all_bytes_size, read_file(argv[2]));
    check_screen("empty", empty, empty_size, "");
    failures += check_screens_from_c();
    if (failures == 0)
        std::puts("every screen matches its file");
    return failures == 0 ? 0 : 1;
}
