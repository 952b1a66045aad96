// Marks, on Windows, the end-to-end cases that are built for POSIX systems
// only (command_posix_test.cpp, screen_posix_test.cpp, large_input_test.cpp),
// with the reason.
#include <gtest/gtest.h>

namespace {

// The cases that need what only POSIX systems have are not built here.
TEST(PosixOnlyCases, SkippedOnWindows) {
    GTEST_SKIP() << "device files (/dev/stdin, /dev/full, /proc), FIFOs, permission bits for "
                    "root, file-size limits, signals, LD_PRELOAD faults, the screen writer on "
                    "/dev/full and a closed pipe, and the 4 GiB run through a pipe are POSIX "
                    "facilities";
}

} // namespace
