// Runs the built tremlox in a temporary folder of its own and checks what it
// prints, its exit status and what it leaves on disk.
#include "reference_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string usage_for(const std::string &program) {
    return "\n" + program + " - ANSI screen to C data converter, version 1.0\n" +
           "Purpose : Convert an ANSI file to c data statements.\n" + "Usage : " + program +
           " infile outfile\n\n";
}

std::string read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string all_byte_values() {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

struct run_result {
    int status = -1;
    std::string out;
    std::string err;
};

struct run_options {
    // Argument 0 as the process sees it; nullopt starts it with none at all.
    std::optional<std::string> program = std::string(TREMLOX_PATH);
    fs::path input = "/dev/null";
    std::function<void()> in_child; // runs after fork, before exec
};

class CommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tremlox-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        work = root_ / "work";
        fs::create_directory(work);
        fs::create_directory(root_ / "capture");
    }

    void TearDown() override {
        std::error_code ignored;
        fs::permissions(work, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    // Runs tremlox in the work folder with the given arguments after argument 0.
    run_result run(const std::vector<std::string> &args, const run_options &options = {}) {
        const fs::path out_path = root_ / "capture" / "stdout";
        const fs::path err_path = root_ / "capture" / "stderr";
        std::vector<std::string> words;
        if (options.program)
            words.push_back(*options.program);
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);

        const pid_t child = fork();
        if (child == 0) {
            if (chdir(work.c_str()) != 0)
                _exit(126);
            redirect(options.input, STDIN_FILENO, O_RDONLY);
            redirect(out_path, STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
            redirect(err_path, STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
            if (options.in_child)
                options.in_child();
            execve(TREMLOX_PATH, argv.data(), environ);
            _exit(127);
        }
        run_result result;
        int wait_status = 0;
        EXPECT_EQ(waitpid(child, &wait_status, 0), child);
        EXPECT_TRUE(WIFEXITED(wait_status)) << "tremlox did not exit normally";
        result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
        result.out = read_file(out_path);
        result.err = read_file(err_path);
        return result;
    }

    // Converts input to output, expecting success and silence.
    std::string convert(std::string_view bytes) {
        write_file(work / "in", bytes);
        const run_result result = run({"in", "out"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        return read_file(work / "out");
    }

    std::vector<std::string> files_in_work() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::recursive_directory_iterator(work))
            names.push_back(fs::relative(entry.path(), work).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path work;

  private:
    static void redirect(const fs::path &path, int target, int flags) {
        const int fd = open(path.c_str(), flags, 0644);
        if (fd < 0 || dup2(fd, target) < 0)
            _exit(126);
        close(fd);
    }

    fs::path root_;
};

using UsageTest = CommandTest;

TEST_F(UsageTest, WrongArgumentCountPrintsUsageAndTouchesNothing) {
    write_file(work / "existing", "keep me");
    const std::vector<std::vector<std::string>> argument_lists = {
        {}, {"existing"}, {"new"}, {"existing", "new", "other"}, {"a", "b", "c", "d"}};
    for (const auto &args : argument_lists) {
        const run_result result = run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, usage_for(TREMLOX_PATH));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(files_in_work(), std::vector<std::string>{"existing"});
        EXPECT_EQ(read_file(work / "existing"), "keep me");
    }
}

TEST_F(UsageTest, ProgramNameIsPrintedAsPassed) {
    run_options options;
    options.program = "/usr/local/bin/tremlox";
    const run_result result = run({"one"}, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, usage_for("/usr/local/bin/tremlox"));

    options.program = "./-odd name";
    EXPECT_EQ(run({}, options).out, usage_for("./-odd name"));
}

TEST_F(UsageTest, MissingProgramNameIsPrintedAsTremlox) {
    run_options options;
    options.program = std::nullopt;
    const run_result result = run({}, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, usage_for("tremlox"));
    EXPECT_EQ(result.err, "");
}

using ConversionTest = CommandTest;

TEST_F(ConversionTest, GoldenCases) {
    EXPECT_EQ(convert(""), reference::array_text(""));
    EXPECT_EQ(convert("").size(), 103u);
    EXPECT_EQ(convert("A").size(), 106u);
    EXPECT_EQ(convert("\x1b[0m").size(), 116u);
    EXPECT_EQ(convert(std::string(13, 'A')).size(), 162u);
    EXPECT_EQ(convert(std::string(14, 'A')).size(), 165u);
    const std::string bytes = all_byte_values();
    EXPECT_EQ(convert(bytes), reference::array_text(bytes));
    const std::string zeros("\0\0\0", 3);
    EXPECT_EQ(convert(zeros), reference::array_text(zeros));
}

TEST_F(ConversionTest, LargerInputsMatchTheModel) {
    std::string bytes;
    for (std::size_t i = 0; i < 1000003; ++i)
        bytes += static_cast<char>((i * 7919 + i / 251) & 0xff);
    EXPECT_EQ(convert(bytes), reference::array_text(bytes));
}

TEST_F(ConversionTest, ExistingOutputIsReplacedWhole) {
    write_file(work / "out", std::string(100000, 'z'));
    EXPECT_EQ(convert("A"), reference::array_text("A"));
}

TEST_F(ConversionTest, NamesOfAnyLength) {
    for (const std::size_t length : {79u, 80u, 81u, 255u}) {
        const std::string input(length, 'i');
        const std::string output = std::string(length - 1, 'o') + "c";
        write_file(work / input, "ANSI");
        const run_result result = run({input, output});
        EXPECT_EQ(result.status, 0) << length << ": " << result.err;
        EXPECT_EQ(read_file(work / output), reference::array_text("ANSI")) << length;
    }
    // A path of several thousand characters, well past any fixed buffer.
    fs::path deep = work;
    for (int level = 0; level < 30; ++level)
        deep /= std::string(100, static_cast<char>('a' + level % 26));
    fs::create_directories(deep);
    write_file(deep / "in", "deep");
    const run_result result = run({(deep / "in").string(), (deep / "out").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_file(deep / "out"), reference::array_text("deep"));
}

TEST_F(ConversionTest, NamesBeginningWithADashAreFiles) {
    write_file(work / "-h", "dash");
    const run_result result = run({"-h", "--"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_file(work / "--"), reference::array_text("dash"));
    write_file(work / "-", "x");
    EXPECT_EQ(run({"-", "-o"}).status, 0);
    EXPECT_EQ(read_file(work / "-o"), reference::array_text("x"));
}

TEST_F(ConversionTest, PipesAndDevices) {
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

using ErrorTest = CommandTest;

TEST_F(ErrorTest, InputThatCannotBeOpened) {
    write_file(work / "out", "untouched");
    const std::string too_long(300, 'n');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing", "No such file or directory"},
        {"no/such/folder/in", "No such file or directory"},
        {too_long, "File name too long"},
    };
    for (const auto &[name, reason] : cases) {
        for (const std::string output : {"out", "new"}) {
            const run_result result = run({name, output});
            EXPECT_EQ(result.status, 2);
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, "tremlox: " + name + ": " + reason + "\n");
        }
    }
    EXPECT_EQ(files_in_work(), std::vector<std::string>{"out"});
    EXPECT_EQ(read_file(work / "out"), "untouched");
}

TEST_F(ErrorTest, InputThatIsAFolder) {
    fs::create_directory(work / "folder");
    write_file(work / "out", "untouched");
    run_result result = run({"folder", "out"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: folder: Is a directory\n");
    EXPECT_EQ(read_file(work / "out"), "untouched");
    result = run({"folder", "new"});
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(fs::exists(work / "new"));
}

TEST_F(ErrorTest, OutputThatCannotBeOpened) {
    write_file(work / "in", "ANSI");
    fs::create_directory(work / "folder");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"no/such/folder/out", "No such file or directory"},
        {"folder", "Is a directory"},
        {"in/out", "Not a directory"},
        {std::string(300, 'o'), "File name too long"},
    };
    for (const auto &[name, reason] : cases) {
        const run_result result = run({"in", name});
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "tremlox: " + name + ": " + reason + "\n");
    }
    EXPECT_EQ(files_in_work(), (std::vector<std::string>{"folder", "in"}));
    EXPECT_EQ(read_file(work / "in"), "ANSI");
}

TEST_F(ErrorTest, OutputThatIsReadOnly) {
    write_file(work / "in", "ANSI");
    // Permission bits do not stop root; a read-only file system does.
    const std::string output = geteuid() == 0 ? "/proc/version" : "locked";
    if (geteuid() != 0) {
        write_file(work / output, "locked");
        fs::permissions(work / output, fs::perms::owner_read);
    }
    const std::string before = read_file(work / output);
    const run_result result = run({"in", output});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind("tremlox: " + output + ": ", 0), 0u) << result.err;
    EXPECT_EQ(read_file(work / output), before);
}

TEST_F(ErrorTest, SameFileIsRefusedWhateverTheName) {
    const std::string screen = "\x1b[1;31mred\x1b[0m";
    write_file(work / "screen", screen);
    fs::create_symlink("screen", work / "link");
    fs::create_hard_link(work / "screen", work / "hard");
    fs::create_directory(work / "sub");
    const std::vector<std::string> outputs = {"screen", "./screen", "sub/../screen", "link",
                                              "hard"};
    for (const std::string &output : outputs) {
        const run_result result = run({"screen", output});
        EXPECT_EQ(result.status, 2) << output;
        EXPECT_EQ(result.err, "tremlox: screen and " + output + " are the same file\n");
        EXPECT_EQ(read_file(work / "screen"), screen) << output;
    }
    const run_result result = run({"link", "hard"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(read_file(work / "screen"), screen);
}

TEST_F(ErrorTest, ReadFailureRemovesTheOutput) {
    // Reading a process's own memory at offset 0 fails with an I/O error.
    const run_result result = run({"/proc/self/mem", "out"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: /proc/self/mem: Input/output error\n");
    EXPECT_FALSE(fs::exists(work / "out"));
}

TEST_F(ErrorTest, FullDeviceIsReportedAndLeftInPlace) {
    write_file(work / "in", "ANSI");
    const run_result result = run({"in", "/dev/full"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tremlox: /dev/full: No space left on device\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(ErrorTest, WriteFailurePartWayRemovesTheOutput) {
    std::string bytes(3000000, 'A');
    write_file(work / "in", bytes);
    run_options options;
    // A file size limit makes writes fail part way, like a full disk.
    options.in_child = [] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const run_result result = run({"in", "out"}, options);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: out: File too large\n");
    EXPECT_EQ(files_in_work(), std::vector<std::string>{"in"});
}

TEST_F(ErrorTest, WriteFailureOnAPipeIsReported) {
    write_file(work / "in", std::string(1000000, 'A'));
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    close(pipe_ends[0]); // nobody reads: writes fail with a broken pipe
    run_options options;
    options.in_child = [&] {
        signal(SIGPIPE, SIG_IGN);
        dup2(pipe_ends[1], STDOUT_FILENO);
    };
    const run_result result = run({"in", "/dev/stdout"}, options);
    close(pipe_ends[1]);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "tremlox: /dev/stdout: Broken pipe\n");
}

// The converted text, compiled by a real C compiler into a program that
// writes the array back, gives back the input exactly.
using RoundTripTest = CommandTest;

TEST_F(RoundTripTest, CompiledArrayHoldsTheInputBytes) {
    std::string screen = read_file(EXAMPLE_SCREEN);
    ASSERT_FALSE(screen.empty());
    for (const std::string &bytes : {all_byte_values(), screen}) {
        write_file(work / "in", bytes);
        ASSERT_EQ(run({"in", "screen.c"}).status, 0);
        write_file(work / "dump.c", "#include <stdio.h>\n"
                                    "#include \"screen.c\"\n"
                                    "int main(void) {\n"
                                    "    size_t size = sizeof screendata - 1;\n"
                                    "    fwrite(screendata, 1, size, stdout);\n"
                                    "    return screendata[size];\n"
                                    "}\n");
        const std::string compile = std::string("cd '") + work.string() + "' && '" + C_COMPILER +
                                    "' -std=c99 -o dump dump.c && ./dump > back";
        ASSERT_EQ(std::system(compile.c_str()), 0) << compile;
        EXPECT_EQ(read_file(work / "back"), bytes);
    }
}

} // namespace
