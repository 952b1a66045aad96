#include "terminal_query.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace tremlox::view {

namespace {

// The cell size in pixels, then the primary device attributes, which every
// terminal answers: once that answer is in, no other is coming, and a
// terminal that does not know CSI 16 t costs no wait.
constexpr char question[] = "\x1b[16t\x1b[c";
constexpr std::string_view cell_size_answer = "\x1b[6;";
constexpr std::string_view attributes_answer = "\x1b[?";
constexpr long longest_wait_ms = 150;
constexpr std::size_t longest_answer = 256;
constexpr unsigned largest_cell_height = 4096;

// The terminal without line editing and echo while it answers, put back as
// it was on every way out. Interruptions wait until then: a Ctrl-C ends
// the process after the terminal is restored, not before.
class answering_terminal {
  public:
    answering_terminal() {
        sigset_t interruptions;
        sigemptyset(&interruptions);
        for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
            sigaddset(&interruptions, signal_number);
        sigprocmask(SIG_BLOCK, &interruptions, &old_mask_);
        if (tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios raw = saved_;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        changed_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~answering_terminal() {
        if (changed_)
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        sigprocmask(SIG_SETMASK, &old_mask_, nullptr);
    }
    answering_terminal(const answering_terminal &) = delete;
    answering_terminal &operator=(const answering_terminal &) = delete;

    bool ready() const { return changed_; }

  private:
    termios saved_{};
    sigset_t old_mask_{};
    bool changed_ = false;
};

long milliseconds_now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// The height in "CSI 6 ; height ; width t", or 0.
unsigned read_cell_height(std::string_view answers) {
    const std::size_t start = answers.find(cell_size_answer);
    if (start == std::string_view::npos)
        return 0;
    unsigned height = 0;
    std::size_t at = start + cell_size_answer.size();
    for (; at < answers.size() && answers[at] >= '0' && answers[at] <= '9'; ++at) {
        height = height * 10 + static_cast<unsigned>(answers[at] - '0');
        if (height > largest_cell_height)
            return 0;
    }
    return at < answers.size() && answers[at] == ';' ? height : 0;
}

bool attributes_answered(std::string_view answers) {
    const std::size_t start = answers.find(attributes_answer);
    return start != std::string_view::npos &&
           answers.find('c', start + attributes_answer.size()) != std::string_view::npos;
}

// Whether this process may change the terminal: a job in the background
// would be stopped for it.
bool is_foreground_terminal() {
    return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp();
}

// The height the terminal gives with its size in rows: most fill in the
// pixels of their text area too (xterm with its border, a few pixels that
// the division drops), and need not be asked.
unsigned cell_height_of_window() {
    winsize size{};
    if (!isatty(STDOUT_FILENO) || ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 ||
        size.ws_row == 0)
        return 0;
    return size.ws_ypixel / size.ws_row;
}

} // namespace

unsigned terminal_cell_height() {
    if (const unsigned height = cell_height_of_window(); height != 0)
        return height;
    if (!is_foreground_terminal())
        return 0;
    answering_terminal terminal;
    if (!terminal.ready() || write(STDOUT_FILENO, question, sizeof question - 1) < 0)
        return 0;
    std::string answers;
    const long deadline = milliseconds_now() + longest_wait_ms;
    while (!attributes_answered(answers) && answers.size() < longest_answer) {
        const long left = deadline - milliseconds_now();
        pollfd input = {STDIN_FILENO, POLLIN, 0};
        if (left <= 0 || poll(&input, 1, static_cast<int>(left)) <= 0)
            break;
        char bytes[64];
        const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
        if (count <= 0 && errno != EINTR)
            break;
        if (count > 0)
            answers.append(bytes, static_cast<std::size_t>(count));
    }
    return read_cell_height(answers);
}

} // namespace tremlox::view
