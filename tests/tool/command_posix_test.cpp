// The cases that need POSIX facilities: devices, FIFOs, file-size limits,
// signals, and faults put in with a preloaded shim.
#include "command_fixture.h"
#include "test_platform_posix.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class PosixCommandTest : public CommandTest {
  protected:
    // Runs tremlox as run does, with in_child run just before exec.
    run_result run_with(const std::vector<std::string> &args, const std::function<void()> &in_child,
                        const run_options &options = {}) {
        const pid_t child = test_platform::start_program(
            program_path(), argument_vector(args, options), work, streams(options), in_child);
        const int wait_status = test_platform::wait_for(child);
        EXPECT_TRUE(WIFEXITED(wait_status)) << "tremlox did not exit normally";
        return collect(WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1, options);
    }

    // Starts converting the FIFO "fifo" into "out" and returns the FIFO's
    // writing end, once tremlox has it open.
    int start_from_fifo(const std::function<void()> &in_child = {}) {
        EXPECT_EQ(mkfifo((work / "fifo").c_str(), 0600), 0);
        child_ = test_platform::start_program(program_path(), argument_vector({"fifo", "out"}, {}),
                                              work, streams({}), in_child);
        return open((work / "fifo").c_str(), O_WRONLY);
    }

    pid_t child_ = -1;
};

using PosixConversionTest = PosixCommandTest;
using PosixErrorTest = PosixCommandTest;

bool write_all(int fd, const std::string &bytes) {
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

TEST_F(PosixConversionTest, PipesAndDevices) {
    // Standard input from a file, standard output to a file, through /dev.
    write_file(work / "in", all_byte_values());
    run_options options;
    options.input = work / "in";
    run_result result = run({"/dev/stdin", "/dev/stdout"}, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, reference::array_text(all_byte_values()));

    // A FIFO fed in small pieces by another thread.
    ASSERT_EQ(mkfifo((work / "fifo").c_str(), 0600), 0);
    const std::string bytes(100000, '\x1b');
    std::thread feeder([&] {
        const int fd = open((work / "fifo").c_str(), O_WRONLY);
        for (std::size_t offset = 0; offset < bytes.size(); offset += 777) {
            const std::size_t count = std::min<std::size_t>(777, bytes.size() - offset);
            if (write(fd, bytes.data() + offset, count) != static_cast<ssize_t>(count))
                break;
        }
        close(fd);
    });
    result = run({"fifo", "out"});
    feeder.join();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_file(work / "out"), reference::array_text(bytes));
    EXPECT_TRUE(fs::is_fifo(work / "fifo"));
}

TEST_F(PosixErrorTest, ReadFailureRemovesTheOutput) {
    // Reading a process's own memory at offset 0 fails with an I/O error.
    const run_result result = run({"/proc/self/mem", "out"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: /proc/self/mem: Input/output error\n");
    EXPECT_FALSE(fs::exists(work / "out"));
}

TEST_F(PosixErrorTest, FullDeviceIsReportedAndLeftInPlace) {
    write_file(work / "in", "ANSI");
    const run_result result = run({"in", "/dev/full"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tremlox: /dev/full: No space left on device\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(PosixErrorTest, WriteFailurePartWayRemovesTheOutput) {
    // A file-size limit makes writes fail part way, like a full disk: after
    // several blocks, or in the first block's text, whose write then comes
    // back short before it fails. Left to itself, SIGXFSZ would end tremlox.
    struct limit_case {
        std::size_t input_size;
        rlim_t limit;
        bool ignore_signal;
    };
    for (const limit_case &limit :
         {limit_case{3000000, 100000, true}, limit_case{1000, 1024, false}}) {
        write_file(work / "in", std::string(limit.input_size, 'A'));
        const run_result result = run_with({"in", "out"}, [&] {
            if (limit.ignore_signal)
                signal(SIGXFSZ, SIG_IGN);
            const rlimit size_limit = {limit.limit, limit.limit};
            setrlimit(RLIMIT_FSIZE, &size_limit);
        });
        EXPECT_EQ(result.status, 2) << limit.limit;
        EXPECT_EQ(result.err, "tremlox: out: File too large\n");
        EXPECT_EQ(files_in_work(), std::vector<std::string>{"in"});
    }
}

TEST_F(PosixErrorTest, WriteFailureOnAPipeIsReported) {
    write_file(work / "in", std::string(1000000, 'A'));
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    close(pipe_ends[0]); // nobody reads: writes fail with a broken pipe
    const run_result result = run_with({"in", "/dev/stdout"}, [&] {
        signal(SIGPIPE, SIG_IGN);
        dup2(pipe_ends[1], STDOUT_FILENO);
    });
    close(pipe_ends[1]);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: /dev/stdout: Broken pipe\n");
}

// A signal that ends a conversion into a regular file removes the output,
// and the process still ends by that signal, as the shell expects.
using InterruptionTest = PosixCommandTest;

TEST_F(InterruptionTest, SignalRemovesTheIncompleteOutput) {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        const int fifo = start_from_fifo();
        ASSERT_GE(fifo, 0);
        EXPECT_TRUE(write_all(fifo, std::string(200000, 'A')));
        wait_for_output();
        kill(child_, signal_number);
        const int wait_status = test_platform::wait_for(child_);
        close(fifo);
        EXPECT_TRUE(WIFSIGNALED(wait_status)) << signal_number << ": " << wait_status;
        EXPECT_EQ(WTERMSIG(wait_status), signal_number);
        EXPECT_FALSE(fs::exists(work / "out")) << signal_number;
        fs::remove(work / "fifo");
    }
}

TEST_F(InterruptionTest, IgnoredSignalLetsTheConversionFinish) {
    // As under nohup or trap '' HUP.
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        const int fifo = start_from_fifo([=] { signal(signal_number, SIG_IGN); });
        ASSERT_GE(fifo, 0);
        const std::string first(200000, 'A'), rest(100000, 'B');
        EXPECT_TRUE(write_all(fifo, first));
        wait_for_output();
        kill(child_, signal_number);
        EXPECT_TRUE(write_all(fifo, rest));
        close(fifo);
        const int wait_status = test_platform::wait_for(child_);
        EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0) << wait_status;
        EXPECT_EQ(read_file(work / "out"), reference::array_text(first + rest)) << signal_number;
        fs::remove(work / "fifo");
    }
}

// Faults put in by a shim preloaded into tremlox, each at the one call
// where it can happen.
class FaultTest : public PosixCommandTest {
  protected:
    void SetUp() override {
        if (std::string_view(FAULT_SHIM_PATH).empty())
            GTEST_SKIP() << "cross-built: the tool is static or runs under qemu-user, and a "
                            "preloaded shim cannot reach it";
        PosixCommandTest::SetUp();
    }

    static std::function<void()> with_shim(std::vector<std::pair<std::string, std::string>> env) {
        return [env] {
            setenv("LD_PRELOAD", FAULT_SHIM_PATH, 1);
            for (const auto &[name, value] : env)
                setenv(name.c_str(), value.c_str(), 1);
        };
    }
};

TEST_F(FaultTest, InterruptedReadsAreRetried) {
    // The shim's handler for SIGUSR1 is installed without SA_RESTART, so a
    // read waiting on the FIFO fails with EINTR each time it arrives.
    const int fifo = start_from_fifo(with_shim({{"TREMLOX_SHIM_INTERRUPTIBLE", "1"}}));
    ASSERT_GE(fifo, 0);
    const std::string first(1000, 'A'), rest(1000, 'B');
    EXPECT_TRUE(write_all(fifo, first));
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(child_, SIGUSR1);
    }
    EXPECT_TRUE(write_all(fifo, rest));
    close(fifo);
    const int wait_status = test_platform::wait_for(child_);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0) << wait_status;
    EXPECT_EQ(read_file(work / "out"), reference::array_text(first + rest));
}

TEST_F(FaultTest, OutputThatBecomesTheInputBeforeItOpens) {
    // Between the check by name and the open, "out" turns into a hard link
    // to "in": the open file is checked again before anything is emptied.
    write_file(work / "in", "ANSI");
    write_file(work / "out", "another file");
    const run_result result = run_with(
        {"in", "out"},
        with_shim({{"TREMLOX_SHIM_LINK_OUTPUT", "out"}, {"TREMLOX_SHIM_LINK_TARGET", "in"}}));
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: in and out are the same file\n");
    EXPECT_EQ(read_file(work / "in"), "ANSI");
    EXPECT_TRUE(fs::equivalent(work / "in", work / "out")) << "the shim did not swap the output";
}

TEST_F(FaultTest, FailedCloseRemovesTheOutput) {
    write_file(work / "in", "ANSI");
    const run_result result =
        run_with({"in", "out"}, with_shim({{"TREMLOX_SHIM_FAIL_CLOSE", "out"}}));
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: out: Input/output error\n");
    EXPECT_EQ(files_in_work(), std::vector<std::string>{"in"});
}

} // namespace
