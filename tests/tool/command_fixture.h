// Runs the built tremlox in a temporary folder of its own and checks what it
// prints, its exit status and what it leaves on disk.
#pragma once

#include "reference_model.h"
#include "test_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using test_platform::utf8_path;
using test_platform::utf8_text;

inline std::string usage_for(const std::string &program) {
    return "\n" + program + " - ANSI screen to C data converter, version 1.0\n" +
           "Purpose : Convert an ANSI file to c data statements.\n" + "Usage : " + program +
           " infile outfile\n\n";
}

inline std::string read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const fs::path &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string all_byte_values() {
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
    std::optional<std::string> program = utf8_text(TREMLOX_PATH);
    fs::path input = test_platform::null_device;
};

class CommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static const std::string cannot_start = test_platform::cannot_start(TREMLOX_PATH);
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

    // The argument vector for the arguments after argument 0.
    static std::vector<std::string> argument_vector(const std::vector<std::string> &args,
                                                    const run_options &options) {
        std::vector<std::string> words;
        if (options.program)
            words.push_back(*options.program);
        words.insert(words.end(), args.begin(), args.end());
        return words;
    }

    test_platform::child_streams streams(const run_options &options) const {
        return {options.input, root_ / "capture" / "stdout", root_ / "capture" / "stderr"};
    }

    run_result collect(int status, const run_options &options) const {
        return {status, read_file(streams(options).output), read_file(streams(options).error)};
    }

    // Runs tremlox in the work folder with the given arguments after argument 0.
    run_result run(const std::vector<std::string> &args, const run_options &options = {}) {
        const int status = test_platform::run_program(TREMLOX_PATH, argument_vector(args, options),
                                                      work, streams(options));
        EXPECT_NE(status, -1) << "tremlox did not exit normally";
        return collect(status, options);
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

    // Waits, for a few seconds at most, until "out" holds some text: the
    // conversion is under way.
    void wait_for_output() const {
        for (int tries = 0; tries < 500; ++tries) {
            std::error_code error;
            if (fs::file_size(work / "out", error) > 0 && !error)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "tremlox wrote nothing";
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
    fs::path root_;
};

// The one line of a failure: "tremlox: NAME: REASON". Windows describes
// errors in texts of its own: there only the shape of the line is held
// against them.
inline void expect_failure_line(const std::string &err, const std::string &name,
                                const std::string &posix_reason) {
    const std::string prefix = "tremlox: " + name + ": ";
    if (!test_platform::windows_names) {
        EXPECT_EQ(err, prefix + posix_reason + "\n");
        return;
    }
    EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
    EXPECT_GT(err.size(), prefix.size() + 1) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}
