// The tool end to end: usage, conversions and refusals, the same on every
// system; cases that need POSIX facilities are in command_posix_test.cpp.
#include "command_fixture.h"

#include <cstdlib>

namespace {

using UsageTest = CommandTest;

TEST_F(UsageTest, WrongArgumentCountPrintsUsageAndTouchesNothing) {
    write_file(work / "existing", "keep me");
    const std::vector<std::vector<std::string>> argument_lists = {
        {}, {"existing"}, {"new"}, {"existing", "new", "other"}, {"a", "b", "c", "d"}};
    for (const auto &args : argument_lists) {
        const run_result result = run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, usage_for(utf8_text(TREMLOX_PATH)));
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

    for (const std::string name : {"./-odd name", "./экран \"tremlox\"", "画面\\"}) {
        options.program = name;
        EXPECT_EQ(run({}, options).out, usage_for(name));
    }
}

TEST_F(UsageTest, MissingProgramNameIsPrintedAsTremlox) {
    if (test_platform::windows_names)
        GTEST_SKIP() << "on Windows the C runtime fills in argument 0 from the program's path "
                        "when the command line is empty";
    run_options options;
    options.without_program_name = true;
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
    // Bytes that a text mode would turn or stop at: NUL, CR LF, Ctrl-Z.
    for (const std::string &text : {std::string("\0\0\0", 3), std::string("line\r\nnext\n"),
                                    std::string("\x1a"), std::string("art\r\n\x1aSAUCE00\x1a\n")})
        EXPECT_EQ(convert(text), reference::array_text(text));
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

TEST_F(ConversionTest, NamesInAnyScript) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"экран.ans", "экран.c"},
        {"画面.ans", "출력.c"},
        {"😀 smile.ans", "ünïcødé 😀.c"},
    };
    for (const auto &[input, output] : names) {
        write_file(work / utf8_path(input), input);
        const run_result result = run({input, output});
        EXPECT_EQ(result.status, 0) << input << ": " << result.err;
        EXPECT_EQ(read_file(work / utf8_path(output)), reference::array_text(input)) << input;
    }
    // Names in messages come out as they were given.
    const run_result result = run({"нет.ans", "out"});
    EXPECT_EQ(result.status, 2);
    expect_failure_line(result.err, "нет.ans", "No such file or directory");
    write_file(work / utf8_path("экран.ans"), "screen");
    const run_result same = run({"экран.ans", "./экран.ans"});
    EXPECT_EQ(same.err, "tremlox: экран.ans and ./экран.ans are the same file\n");
    EXPECT_EQ(read_file(work / utf8_path("экран.ans")), "screen");
}

TEST_F(ConversionTest, IntoTheNullDevice) {
    // A device is written, never emptied or removed.
    write_file(work / "in", all_byte_values());
    run_result result = run({"in", test_platform::null_device});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    result = run({test_platform::null_device, "out"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_file(work / "out"), reference::array_text(""));
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
            expect_failure_line(result.err, name, reason);
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
    expect_failure_line(result.err, "folder", "Is a directory");
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
        expect_failure_line(result.err, name, reason);
    }
    EXPECT_EQ(files_in_work(), (std::vector<std::string>{"folder", "in"}));
    EXPECT_EQ(read_file(work / "in"), "ANSI");
}

TEST_F(ErrorTest, OutputThatIsReadOnly) {
    if (test_platform::under_wine())
        GTEST_SKIP() << "under Wine the read-only attribute is the Unix write permission, which "
                        "does not stop root";
    write_file(work / "in", "ANSI");
    // Permission bits do not stop root; a read-only file system does. On
    // Windows, the bits are the read-only attribute.
    const std::string output = test_platform::runs_as_root() ? "/proc/version" : "locked";
    if (!test_platform::runs_as_root()) {
        write_file(work / output, "locked");
        fs::permissions(work / output, fs::perms::owner_read);
    }
    const std::string before = read_file(work / output);
    const run_result result = run({"in", output});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind("tremlox: " + output + ": ", 0), 0u) << result.err;
    EXPECT_EQ(read_file(work / output), before);
    std::error_code ignored;
    fs::permissions(work / output, fs::perms::owner_write, fs::perm_options::add, ignored);
}

TEST_F(ErrorTest, SameFileIsRefusedWhateverTheName) {
    const std::string screen = "\x1b[1;31mred\x1b[0m";
    write_file(work / "screen", screen);
    fs::create_hard_link(work / "screen", work / "hard");
    fs::create_directory(work / "sub");
    const fs::path full_path = fs::absolute(work / "screen");
    std::vector<std::string> outputs = {"screen", "./screen", "sub/../screen", "hard",
                                        utf8_text(full_path)};
    if (test_platform::windows_names) {
        // Case is not part of a name there, and either slash divides a path.
        fs::path with_backslashes = full_path;
        outputs.insert(outputs.end(), {"SCREEN", ".\\screen", "sub\\..\\Screen",
                                       utf8_text(with_backslashes.make_preferred()),
                                       utf8_text(full_path.generic_u8string())});
    } else {
        // Making a symbolic link on Windows takes a privilege.
        fs::create_symlink("screen", work / "link");
        outputs.push_back("link");
    }
    for (const std::string &output : outputs) {
        const run_result result = run({"screen", output});
        EXPECT_EQ(result.status, 2) << output;
        EXPECT_EQ(result.err, "tremlox: screen and " + output + " are the same file\n");
        EXPECT_EQ(read_file(work / "screen"), screen) << output;
    }
    const run_result result = run({"hard", "screen"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(read_file(work / "screen"), screen);
}

// The converted text, compiled by a real C compiler into a program that
// writes the array back, gives back the input exactly.
using RoundTripTest = CommandTest;

TEST_F(RoundTripTest, CompiledArrayHoldsTheInputBytes) {
    if (test_platform::windows_names)
        GTEST_SKIP() << "needs a POSIX shell and the host's C compiler; the cross-compiled "
                        "consumer project checks the same on Windows";
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
                                    "' -std=c99 " + C_LINK_FLAGS +
                                    " -o dump dump.c && ./dump > back";
        ASSERT_EQ(std::system(compile.c_str()), 0) << compile;
        EXPECT_EQ(read_file(work / "back"), bytes);
    }
}

} // namespace
