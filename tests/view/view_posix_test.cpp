// tremlox-view where POSIX facilities are needed: a pipe whose reader goes
// away (| head -n 1), a full disk (> /dev/full), endless and closed input.
#include "test_platform_posix.h"
#include "view_fixture.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class PosixViewTest : public ViewTest {
  protected:
    // Runs tremlox-view as run does, with in_child run just before exec;
    // returns the raw wait status and stderr.
    int run_with(const std::vector<std::string> &args, const std::function<void()> &in_child,
                 std::string &err) {
        const pid_t child = test_platform::start_program(program_path(), argument_vector(args, {}),
                                                         work, streams({}), in_child);
        const int wait_status = test_platform::wait_for(child);
        err = read_file(streams({}).error);
        return wait_status;
    }

    // Shows `args` into a pipe, reads the first line as `head -n 1` does,
    // and closes the pipe; returns the wait status.
    int show_to_head(const std::vector<std::string> &args, bool ignore_sigpipe,
                     std::string &first_line, std::string &err) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        const pid_t child = test_platform::start_program(program_path(), argument_vector(args, {}),
                                                         work, streams({}), [&] {
                                                             if (ignore_sigpipe)
                                                                 signal(SIGPIPE, SIG_IGN);
                                                             dup2(ends[1], STDOUT_FILENO);
                                                             close(ends[0]);
                                                             close(ends[1]);
                                                         });
        close(ends[1]);
        char byte = 0;
        while (read(ends[0], &byte, 1) == 1 && byte != '\n')
            first_line += byte;
        close(ends[0]);
        const int wait_status = test_platform::wait_for(child);
        err = read_file(streams({}).error);
        return wait_status;
    }

    static void output_to(const char *device) {
        const int fd = open(device, O_WRONLY);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
};

// Some 2 MB of output, far more than a pipe holds.
std::string tall_screen() {
    std::string screen;
    for (int row = 0; row < 5000; ++row)
        screen += "\x1b[" + std::to_string(30 + row % 8) + "m" + std::string(79, '\xdb') + "\r\n";
    return screen;
}

TEST_F(PosixViewTest, ClosedPipeEndsTheViewerQuietly) {
    write_file(work / "tall.ans", tall_screen());
    std::string first_line, err;
    // SIGPIPE left at its default ends it, as it ends cat.
    int wait_status = show_to_head({"tall.ans", "tall.ans"}, false, first_line, err);
    EXPECT_TRUE(WIFSIGNALED(wait_status) && WTERMSIG(wait_status) == SIGPIPE) << wait_status;
    EXPECT_EQ(err, "");
    EXPECT_EQ(first_line.back(), '\r');
    // Where SIGPIPE is ignored the write fails instead: it stops, silently.
    first_line.clear();
    wait_status = show_to_head({"tall.ans", "tall.ans"}, true, first_line, err);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0) << wait_status;
    EXPECT_EQ(err, "");
    EXPECT_EQ(first_line.back(), '\r');
    // The status of a file that could not be read before stays.
    first_line.clear();
    wait_status = show_to_head({"missing", "tall.ans", "tall.ans"}, true, first_line, err);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 2) << wait_status;
    EXPECT_EQ(err, "tremlox-view: missing: No such file or directory\n");
}

TEST_F(PosixViewTest, FullDiskFailsLoudly) {
    write_file(work / "screen.ans", "\x1b[31mred\r\n");
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"screen.ans"},
                                               {"--colours=none", "screen.ans", "screen.ans"},
                                               {"--info", "screen.ans"},
                                               {"--help"},
                                               {"--version"}}) {
        std::string err;
        const int wait_status = run_with(
            args, [] { output_to("/dev/full"); }, err);
        EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 2) << args[0];
        EXPECT_EQ(err, "tremlox-view: standard output: No space left on device\n") << args[0];
    }
}

// A picture that cannot be written whole is not left behind: a full device
// is named, and a file cut short by the file-size limit is removed.
TEST_F(PosixViewTest, UnwritablePictureIsReportedAndRemoved) {
    write_file(work / "classic.ans", read_file(utf8_path(CLASSIC_SCREEN)));
    std::string err;
    int wait_status = run_with({"-o", "/dev/full", "classic.ans"}, {}, err);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 2) << wait_status;
    EXPECT_EQ(err, "tremlox-view: /dev/full: No space left on device\n");
    write_file(work / "picture.png", "an older picture");
    wait_status = run_with(
        {"-o", "picture.png", "classic.ans"},
        [] {
            const rlimit limit = {1000, 1000}; // the classic screen's PNG takes some 3 KB
            setrlimit(RLIMIT_FSIZE, &limit);
        },
        err);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 2) << wait_status;
    EXPECT_EQ(err, "tremlox-view: picture.png: File too large\n");
    EXPECT_EQ(files_in_work(), std::vector<std::string>{"classic.ans"});
}

TEST_F(PosixViewTest, EndlessInputIsRefused) {
    std::string err;
    const int wait_status = run_with({"/dev/zero"}, {}, err);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 2) << wait_status;
    EXPECT_EQ(err, "tremlox-view: /dev/zero: File too large (over 64 MiB)\n");
    EXPECT_EQ(read_file(streams({}).output), "");
}

TEST_F(PosixViewTest, ClosedStandardInputIsReported) {
#ifdef VIEW_MAY_RUN_UNDER_QEMU
    GTEST_SKIP() << "qemu-user, started through binfmt_misc, opens the program itself on the "
                    "closed descriptor 0";
#endif
    write_file(work / "screen.ans", "shown\r\n");
    std::string err;
    const int wait_status = run_with(
        {"-", "screen.ans"}, [] { close(STDIN_FILENO); }, err);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 2) << wait_status;
    EXPECT_EQ(err, "tremlox-view: -: Bad file descriptor\n");
    EXPECT_EQ(read_file(streams({}).output), library_output("shown\r\n"));
}

} // namespace
