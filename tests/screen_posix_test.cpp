// The screen writer's failures on POSIX devices and pipes.
#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

TEST(ScreenWrite, ReportsFailures) {
    std::FILE *full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    errno = 0;
    EXPECT_EQ(tremlox_screen_write(full, "hello", 5, TREMLOX_CHARSET_CP437), -1);
    EXPECT_EQ(errno, ENOSPC);
    std::fclose(full);

    // A closed pipe: EPIPE once SIGPIPE is ignored, as a program that wants
    // to report it does.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    std::FILE *pipe_end = fdopen(ends[1], "w");
    ASSERT_NE(pipe_end, nullptr);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    errno = 0;
    EXPECT_EQ(tremlox_screen_write(pipe_end, "hello", 5, TREMLOX_CHARSET_GUESS), -1);
    EXPECT_EQ(errno, EPIPE);
    std::signal(SIGPIPE, previous);
    std::fclose(pipe_end);
}

} // namespace
