// The screen writer's failures on POSIX devices and pipes, and the colours
// AUTO reads from the environment.
#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
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

// Sets an environment variable for the life of the object, then puts back
// what was there.
class scoped_variable {
  public:
    scoped_variable(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~scoped_variable() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char *name_;
    std::optional<std::string> old_;
};

std::string written_with_auto_colours(const char *colour_term, const char *term) {
    const scoped_variable colour_term_variable("COLORTERM", colour_term);
    const scoped_variable term_variable("TERM", term);
    char *buffer = nullptr;
    std::size_t length = 0;
    std::FILE *out = open_memstream(&buffer, &length);
    EXPECT_NE(out, nullptr);
    EXPECT_EQ(tremlox_screen_write(out, "\x1b[33mA", 6, TREMLOX_CHARSET_CP437), 0);
    std::fclose(out);
    const std::string text(buffer, length);
    std::free(buffer);
    return text.substr(0, text.find('A'));
}

TEST(ScreenWrite, AutoColoursFollowTheTerminal) {
    const std::string brown_24_bit = "\x1b[38;2;170;85;0;48;2;0;0;0m";
    EXPECT_EQ(written_with_auto_colours("truecolor", "xterm"), brown_24_bit);
    EXPECT_EQ(written_with_auto_colours("24bit", "xterm-256color"), brown_24_bit);
    EXPECT_EQ(written_with_auto_colours(nullptr, "xterm-256color"), "\x1b[38;5;130;48;5;16m");
    EXPECT_EQ(written_with_auto_colours("yes", "tmux-256color"), "\x1b[38;5;130;48;5;16m");
    EXPECT_EQ(written_with_auto_colours(nullptr, "xterm"), "\x1b[33;40m");
    EXPECT_EQ(written_with_auto_colours(nullptr, nullptr), "\x1b[33;40m");
}

} // namespace
