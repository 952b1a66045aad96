// Converts an input of more than 4 GiB, a sparse file, through a pipe: sizes
// and counters that wrap at 32 bits would show in the output's size, and a
// tool built without 64-bit file offsets cannot open it on a 32-bit system.
#include "reference_model.h"
#include "test_platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// The sparse input is made past 4 GiB with a 64-bit offset.
static_assert(sizeof(off_t) == 8);

namespace {

TEST(LargeInput, MoreThanFourGibibytesThroughAPipe) {
    if (const std::string reason = test_platform::cannot_start(TREMLOX_PATH, 1); !reason.empty())
        GTEST_SKIP() << reason;
    char path[] = "/tmp/tremlox-large-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    // Zeros up to 4 GiB and a little more, then a tail that the last line shows.
    const std::uint64_t zeros = (std::uint64_t{1} << 32) + 3;
    const std::string tail = "\x1b[0m";
    ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(zeros)),
              static_cast<ssize_t>(tail.size()));
    close(fd);

    const std::string command = std::string("'") + TREMLOX_PATH + "' " + path + " /dev/stdout";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    fcntl(fileno(pipe), F_SETPIPE_SZ, 1 << 20); // fewer trips between the processes
    std::uint64_t size = 0;
    std::string end_of_text; // the last bytes read, enough for the last line
    static char buffer[1 << 20];
    for (std::size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        size += count;
        end_of_text.append(buffer, count);
        if (end_of_text.size() > 256)
            end_of_text.erase(0, end_of_text.size() - 256);
    }
    const int status = pclose(pipe);
    unlink(path);
    EXPECT_EQ(status, 0);

    const std::uint64_t count = zeros + tail.size();
    // The zeros have one digit; 27, 91 and 48 two; 109 three.
    EXPECT_EQ(size, reference::array_text_size(count, zeros, zeros + 3));
    // 4294967303 bytes are 330382100 full rows and 3 values on the last.
    const std::string last_line = "\n" + std::string(19, ' ') + "91,48,109,0 };\n";
    ASSERT_GE(end_of_text.size(), last_line.size());
    EXPECT_EQ(end_of_text.substr(end_of_text.size() - last_line.size()), last_line);
}

} // namespace
