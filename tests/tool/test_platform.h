// What the end-to-end tests need from the system to run a program: a scratch
// folder, a child process with its streams redirected to files, and the
// system's spellings. One implementation per system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace test_platform {

namespace fs = std::filesystem;

// A new empty folder under the system's temporary folder.
fs::path make_scratch_folder();

// A path from UTF-8 text, and back.
inline fs::path utf8_path(const std::string &text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}
inline std::string utf8_text(const fs::path &path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// The device that reads as empty and swallows any write.
extern const char *const null_device;

// Whether names are Windows names: case does not tell them apart, either
// slash divides a path, and a symbolic link takes a privilege to make. Its
// errors are then described in Windows' own texts, not strerror's.
extern const bool windows_names;

// Whether permission bits fail to stop this process (root on POSIX).
bool runs_as_root();

// Whether this is a Windows program running under Wine.
bool under_wine();

// Sets a variable of this process's environment, which the programs it
// starts inherit; nullptr removes it.
void set_environment(const char *name, const char *value);

struct child_streams {
    fs::path input;
    fs::path output;
    fs::path error;
};

// Why this system cannot start the program itself, or "" when it can
// (started without arguments and with an empty standard input, it exits
// with `expected_status`): a program cross-built for another CPU needs the
// kernel's binfmt_misc to hand it to an emulator.
std::string cannot_start(const fs::path &program, int expected_status);

// Runs the program in the folder with the given argument vector (UTF-8,
// argument 0 first; empty for a process started without any). Returns its
// exit status, or -1 when it did not exit normally (a signal on POSIX).
int run_program(const fs::path &program, const std::vector<std::string> &arguments,
                const fs::path &folder, const child_streams &streams);

} // namespace test_platform
