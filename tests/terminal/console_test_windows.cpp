// The tool on a real console: Ctrl-C and Ctrl-Break while it converts, and
// names written to the console; a CP437 screen written to it by the library
// and by tremlox-view. Run inside a terminal (tmux), so that Wine gives
// these programs a console.
#include "command_fixture.h"

#include <tremlox/screen.h>

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace {

// Runs tremlox on the console, reading a named pipe that the test feeds.
class ConsoleTest : public CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        if (GetConsoleWindow() == nullptr &&
            !GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode_))
            GTEST_SKIP() << "no console: run this test inside a terminal";
        SetConsoleCtrlHandler(take_as_handled, TRUE);
    }

    void TearDown() override {
        finish();
        CommandTest::TearDown();
    }

    // Ends what a case started, so that the next may start again.
    void finish() {
        if (process_.hProcess != nullptr) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 10000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
            process_ = {};
        }
        if (pipe_ != INVALID_HANDLE_VALUE)
            CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
        SetConsoleCtrlHandler(take_as_handled, FALSE);
        SetConsoleCtrlHandler(nullptr, FALSE);
        std::error_code ignored;
        fs::remove(work / "out", ignored);
    }

    // Runs a program with the console as its standard output and error, in
    // the work folder, and returns its exit status and the console's `rows`
    // lines from where the cursor was.
    struct console_run {
        DWORD status = 99;
        std::wstring shown;
    };
    console_run run_on_console(const std::string &program, std::wstring command_line, SHORT rows) {
        console_run run;
        const HANDLE console =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(console, INVALID_HANDLE_VALUE);
        CONSOLE_SCREEN_BUFFER_INFO before;
        if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &before)) {
            ADD_FAILURE() << "no console to run on";
            return run;
        }
        SetHandleInformation(console, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = console;
        startup.hStdError = console;
        const bool started =
            CreateProcessW(utf8_path(program).wstring().c_str(), command_line.data(), nullptr,
                           nullptr, TRUE, 0, nullptr, work.wstring().c_str(), &startup, &process_);
        EXPECT_TRUE(started);
        if (started) {
            EXPECT_TRUE(ended()) << "the program did not end within 10 s";
            GetExitCodeProcess(process_.hProcess, &run.status);
        }
        for (SHORT row = before.dwCursorPosition.Y; row < before.dwCursorPosition.Y + rows; ++row) {
            std::wstring line(before.dwSize.X, L' ');
            DWORD count = 0;
            ReadConsoleOutputCharacterW(console, line.data(), before.dwSize.X, COORD{0, row},
                                        &count);
            run.shown += line.substr(0, count) + L"\n";
        }
        CloseHandle(console);
        return run;
    }

    // Starts tremlox converting the pipe into "out"; returns once it reads.
    void start(DWORD creation_flags = 0) {
        pipe_ = CreateNamedPipeW(pipe_name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                 1 << 16, 1 << 16, 0, nullptr);
        ASSERT_NE(pipe_, INVALID_HANDLE_VALUE);
        std::wstring command_line = L"tremlox " + std::wstring(pipe_name) + L" out";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(utf8_path(TREMLOX_PATH).wstring().c_str(), command_line.data(),
                                   nullptr, nullptr, FALSE, creation_flags, nullptr,
                                   work.wstring().c_str(), &startup, &process_));
        ASSERT_TRUE(ConnectNamedPipe(pipe_, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED);
    }

    void feed(const std::string &bytes) {
        DWORD written = 0;
        EXPECT_TRUE(
            WriteFile(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        EXPECT_EQ(written, bytes.size());
    }

    // Waits for tremlox to end; false when it does not within 10 s.
    bool ended() const { return WaitForSingleObject(process_.hProcess, 10000) == WAIT_OBJECT_0; }

    // Sends the event to every process on the console; this test takes it
    // as handled.
    static void interrupt(DWORD event) {
        EXPECT_TRUE(GenerateConsoleCtrlEvent(event, 0)) << GetLastError();
    }
    static BOOL WINAPI take_as_handled(DWORD) { return TRUE; }

    // Interrupts a conversion under way: tremlox ends, and its output is gone.
    void expect_interrupt_removes_output(DWORD event) {
        start();
        feed(std::string(200000, 'A'));
        wait_for_output();
        interrupt(event);
        EXPECT_TRUE(ended());
        EXPECT_FALSE(fs::exists(work / "out"));
    }

    static constexpr const wchar_t *pipe_name = L"\\\\.\\pipe\\tremlox-console-test";
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION process_ = {};
    DWORD mode_ = 0;
};

TEST_F(ConsoleTest, CtrlCRemovesTheIncompleteOutput) {
    expect_interrupt_removes_output(CTRL_C_EVENT);
}

TEST_F(ConsoleTest, CtrlBreakRemovesTheIncompleteOutput) {
    if (test_platform::under_wine())
        GTEST_SKIP() << "Wine does not deliver Ctrl-Break to the processes of a console";
    expect_interrupt_removes_output(CTRL_BREAK_EVENT);
}

TEST_F(ConsoleTest, IgnoredCtrlCLetsTheConversionFinish) {
    // A process started while Ctrl-C is ignored ignores it too.
    SetConsoleCtrlHandler(nullptr, TRUE);
    start();
    const std::string first(200000, 'A'), rest(1000, 'B');
    feed(first);
    wait_for_output();
    interrupt(CTRL_C_EVENT);
    feed(rest);
    CloseHandle(pipe_);
    pipe_ = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(ended());
    DWORD status = 99;
    GetExitCodeProcess(process_.hProcess, &status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(read_file(work / "out"), reference::array_text(first + rest));
}

TEST_F(ConsoleTest, NamesAreShownAsTyped) {
    // The usage texts, straight onto the console, name the program as typed.
    const console_run run = run_on_console(TREMLOX_PATH, L"экран😀", 4);
    EXPECT_NE(run.shown.find(L"экран😀 - ANSI screen to C data converter, version 1.0"),
              std::wstring::npos)
        << utf8_text(fs::path(run.shown));
    EXPECT_NE(run.shown.find(L"Usage : экран😀 infile outfile"), std::wstring::npos);
}

// The first line of the console's buffer from where the cursor was.
std::wstring console_line(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO &before) {
    std::wstring line(before.dwSize.X, L' ');
    DWORD count = 0;
    ReadConsoleOutputCharacterW(console, line.data(), before.dwSize.X,
                                COORD{0, before.dwCursorPosition.Y}, &count);
    return line.substr(0, count);
}

const char cp437_screen[] = "\xc9\xcd\xbb \xb0\xb1\xb2\xdb Caf\x82 \x01\x03\r\n";

// The renderer gives the console UTF-8 in its own code page, whatever the C
// runtime would have made of the bytes.
TEST_F(ConsoleTest, ScreenGlyphsReachTheConsole) {
    // Standard output is the console here, as it is for a program that shows
    // a screen; the C runtime would convert bytes written through it from
    // its own code page.
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO before;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &before)) << "standard output is no console";
    const UINT code_page = GetConsoleOutputCP();
    tremlox_screen_options options = TREMLOX_SCREEN_OPTIONS_INIT;
    options.charset = TREMLOX_CHARSET_CP437;
    options.colours = TREMLOX_COLOURS_NONE;
    ASSERT_EQ(tremlox_screen_write_with(stdout, cp437_screen, sizeof cp437_screen - 1, &options),
              0);
    EXPECT_EQ(GetConsoleOutputCP(), code_page) << "the console's code page was not given back";
    const std::wstring line = console_line(console, before);
    EXPECT_EQ(line.substr(0, 16), L"╔═╗ ░▒▓█ Café ☺♥") << utf8_text(fs::path(line));
}

// tremlox-view writes a file to the console as the library writes to one:
// the glyphs arrive whatever the console's code page.
TEST_F(ConsoleTest, ViewerShowsAFileOnTheConsole) {
    write_file(work / "screen.ans", std::string(cp437_screen, sizeof cp437_screen - 1));
    const console_run run =
        run_on_console(TREMLOX_VIEW_PATH, L"tremlox-view --colours=none screen.ans", 1);
    EXPECT_EQ(run.status, 0u);
    EXPECT_EQ(run.shown.substr(0, 16), L"╔═╗ ░▒▓█ Café ☺♥") << utf8_text(fs::path(run.shown));
}

// AUTO takes 24-bit colours on a console with virtual terminal processing.
// Wine's console keeps the sequences in its buffer as text, where they can
// be read; a Windows console acts on them and keeps the glyphs alone.
TEST_F(ConsoleTest, AutoColoursOnAConsoleAreTwentyFourBit) {
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO before;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &before)) << "standard output is no console";
    ASSERT_EQ(
        tremlox_screen_write(stdout, cp437_screen, sizeof cp437_screen - 1, TREMLOX_CHARSET_CP437),
        0);
    const std::wstring line = console_line(console, before);
    const std::wstring glyphs = L"╔═╗ ░▒▓█ Café ☺♥";
    const std::wstring grey_on_black = L"\x1b[38;2;170;170;170;48;2;0;0;0m";
    if (line.rfind(L"\x1b[", 0) == 0)
        EXPECT_EQ(line.substr(0, grey_on_black.size() + glyphs.size()), grey_on_black + glyphs)
            << utf8_text(fs::path(line));
    else
        EXPECT_EQ(line.substr(0, glyphs.size()), glyphs) << utf8_text(fs::path(line));
}

} // namespace
