// Runs a built program in a temporary folder of its own and checks what it
// prints, its exit status and what it leaves on disk. command_fixture.h
// runs tremlox with it, tests/view tremlox-view.
#pragma once

#include "test_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using test_platform::utf8_path;
using test_platform::utf8_text;

inline std::string read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const fs::path &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct run_result {
    int status = -1;
    std::string out;
    std::string err;
};

struct run_options {
    // Argument 0 as the process sees it: the program's path unless given.
    std::optional<std::string> program;
    // Starts the process with no argument 0 at all.
    bool without_program_name = false;
    fs::path input = test_platform::null_device;
};

class ProgramTest : public ::testing::Test {
  protected:
    // The program at `program`, started without arguments and with an
    // empty standard input, exits with `status_without_arguments`: that it
    // does tells that this system can run it.
    ProgramTest(std::string program, int status_without_arguments)
        : program_(std::move(program)), status_without_arguments_(status_without_arguments) {}

    void SetUp() override {
        const std::string cannot_start =
            test_platform::cannot_start(utf8_path(program_), status_without_arguments_);
        if (!cannot_start.empty())
            GTEST_SKIP() << cannot_start;
        root_ = test_platform::make_scratch_folder();
        ASSERT_FALSE(root_.empty());
        work = root_ / "work";
        fs::create_directory(work);
        fs::create_directory(root_ / "capture");
    }

    void TearDown() override {
        std::error_code ignored;
        fs::permissions(work, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    const std::string &program_path() const { return program_; }

    // The argument vector for the arguments after argument 0.
    std::vector<std::string> argument_vector(const std::vector<std::string> &args,
                                             const run_options &options) const {
        std::vector<std::string> words;
        if (!options.without_program_name)
            words.push_back(options.program.value_or(program_));
        words.insert(words.end(), args.begin(), args.end());
        return words;
    }

    test_platform::child_streams streams(const run_options &options) const {
        return {options.input, root_ / "capture" / "stdout", root_ / "capture" / "stderr"};
    }

    run_result collect(int status, const run_options &options) const {
        return {status, read_file(streams(options).output), read_file(streams(options).error)};
    }

    // Runs the program in the work folder with the given arguments after
    // argument 0.
    run_result run(const std::vector<std::string> &args, const run_options &options = {}) {
        const int status = test_platform::run_program(
            utf8_path(program_), argument_vector(args, options), work, streams(options));
        EXPECT_NE(status, -1) << program_ << " did not exit normally";
        return collect(status, options);
    }

    std::vector<std::string> files_in_work() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::recursive_directory_iterator(work))
            names.push_back(utf8_text(fs::relative(entry.path(), work)));
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path work;

  private:
    std::string program_;
    int status_without_arguments_;
    fs::path root_;
};

// The one line of a failure: "PROGRAM: NAME: REASON". Windows describes
// errors in texts of its own: there only the shape of the line is held
// against them.
inline void expect_failure_line(const std::string &err, const std::string &name,
                                const std::string &posix_reason,
                                const std::string &program = "tremlox") {
    const std::string prefix = program + ": " + name + ": ";
    if (!test_platform::windows_names) {
        EXPECT_EQ(err, prefix + posix_reason + "\n");
        return;
    }
    EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
    EXPECT_GT(err.size(), prefix.size() + 1) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}
