// The screen writer's failures on POSIX devices and pipes, and the colours
// AUTO reads from the environment.
#include <tremlox/screen.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
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

// The rule itself is ScreenColours.AutoFollowsWhatTheUserAndTheTerminalSay;
// here the library reads it from the process's environment.
TEST(ScreenWrite, AutoColoursFollowTheTerminal) {
    const scoped_variable chosen("TREMLOX_COLOURS", nullptr);
    EXPECT_EQ(written_with_auto_colours("truecolor", "xterm"), "\x1b[38;2;170;85;0;48;2;0;0;0m");
    EXPECT_EQ(written_with_auto_colours(nullptr, "xterm"), "\x1b[38;5;130;48;5;16m");
    EXPECT_EQ(written_with_auto_colours(nullptr, "vt100"), "\x1b[33;40m");
    const scoped_variable sixteen("TREMLOX_COLOURS", "16");
    EXPECT_EQ(written_with_auto_colours("truecolor", "xterm"), "\x1b[33;40m");
}

TEST(ScreenWrite, NoColorTurnsAutoColoursOff) {
    {
        const scoped_variable no_colour("NO_COLOR", "1");
        EXPECT_EQ(written_with_auto_colours("truecolor", "xterm-256color"), "");
    }
    // Set but empty is not set.
    const scoped_variable empty("NO_COLOR", "");
    EXPECT_EQ(written_with_auto_colours(nullptr, "vt100"), "\x1b[33;40m");
    // A colour mode the program chose is kept.
    const scoped_variable no_colour("NO_COLOR", "yes");
    char *buffer = nullptr;
    std::size_t length = 0;
    std::FILE *out = open_memstream(&buffer, &length);
    ASSERT_NE(out, nullptr);
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.colours = TREMLOX_COLOURS_16;
    EXPECT_EQ(tremlox_screen_write_with(out, "\x1b[33mA", 6, &options), 0);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, length).substr(0, 9), "\x1b[33;40mA")
        << "the 16 colours asked for";
    std::free(buffer);
}

// A pseudo-terminal of `columns` columns: the library writes to its
// terminal end, the test reads what the terminal got from the other.
class pseudo_terminal {
  public:
    explicit pseudo_terminal(unsigned short columns) {
        controller_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (controller_ < 0 || grantpt(controller_) != 0 || unlockpt(controller_) != 0)
            return;
        const int terminal = open(ptsname(controller_), O_RDWR | O_NOCTTY);
        winsize size{};
        size.ws_row = 25;
        size.ws_col = columns;
        if (terminal < 0 || ioctl(terminal, TIOCSWINSZ, &size) != 0)
            return;
        terminal_ = fdopen(terminal, "w");
    }
    ~pseudo_terminal() {
        if (terminal_ != nullptr)
            std::fclose(terminal_);
        if (controller_ >= 0)
            close(controller_);
    }
    std::FILE *terminal() const { return terminal_; }
    // What the terminal end has been sent so far.
    std::string received() const {
        std::string text;
        char buffer[4096];
        pollfd ready{controller_, POLLIN, 0};
        while (poll(&ready, 1, 200) > 0) {
            const ssize_t count = read(controller_, buffer, sizeof buffer);
            if (count <= 0)
                break;
            text.append(buffer, static_cast<std::size_t>(count));
        }
        return text;
    }

  private:
    int controller_ = -1;
    std::FILE *terminal_ = nullptr;
};

TEST(ScreenWrite, ClipsToTheTerminalsWidthRowForRow) {
    const pseudo_terminal terminal(60);
    ASSERT_NE(terminal.terminal(), nullptr) << "no pseudo-terminal here";
    // Two rows of 80 columns, a wide glyph across the 60th column.
    const std::string art =
        std::string(59, 'a') + "ＢＣ" + std::string(17, 'd') + "\r\n" + std::string(80, 'e');
    ASSERT_EQ(
        tremlox_screen_write(terminal.terminal(), art.data(), art.size(), TREMLOX_CHARSET_UTF8), 0);
    std::string shown = terminal.received();
    // The terminal's line discipline may turn LF into CR LF.
    for (std::size_t at; (at = shown.find("\r\r\n")) != std::string::npos;)
        shown.erase(at, 1);
    const std::string reset = "\x1b[0m\r\n";
    EXPECT_EQ(shown, "\x1b[39;49m" + std::string(59, 'a') + " " + reset + "\x1b[39;49m" +
                         std::string(60, 'e') + reset);
}

} // namespace
