#include "test_platform.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>

namespace test_platform {

const char *const null_device = "NUL";

const bool windows_names = true;

bool runs_as_root() {
    return false;
}

bool under_wine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string cannot_start(const fs::path &, int) {
    return {}; // Windows, and Wine, run every Windows program
}

void set_environment(const char *name, const char *value) {
    // The C runtime's copy, for this process, and the system's, which a
    // child inherits; an empty value stays empty there.
    _putenv_s(name, value != nullptr ? value : "");
    SetEnvironmentVariableA(name, value);
}

fs::path make_scratch_folder() {
    const fs::path base = fs::temp_directory_path();
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const fs::path folder = base / ("tremlox-test-" + std::to_string(GetCurrentProcessId()) +
                                        "-" + std::to_string(attempt));
        std::error_code error;
        if (fs::create_directory(folder, error))
            return folder;
    }
    return {};
}

namespace {

// Quotes one argument so that the C runtime's parser gives it back as it is.
void append_quoted(std::wstring &command_line, const std::wstring &argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        command_line += argument;
        return;
    }
    command_line += L'"';
    for (auto at = argument.begin();; ++at) {
        std::size_t backslashes = 0;
        for (; at != argument.end() && *at == L'\\'; ++at)
            ++backslashes;
        if (at == argument.end()) {
            command_line.append(backslashes * 2, L'\\');
            break;
        }
        if (*at == L'"')
            command_line.append(backslashes * 2 + 1, L'\\');
        else
            command_line.append(backslashes, L'\\');
        command_line += *at;
    }
    command_line += L'"';
}

HANDLE open_inherited(const fs::path &path, bool for_writing) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.wstring().c_str(), for_writing ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       for_writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

int run_program(const fs::path &program, const std::vector<std::string> &arguments,
                const fs::path &folder, const child_streams &streams) {
    std::wstring command_line;
    for (const std::string &argument : arguments) {
        if (!command_line.empty())
            command_line += L' ';
        append_quoted(command_line, utf8_path(argument).wstring());
    }
    const HANDLE input = open_inherited(streams.input, false);
    const HANDLE output = open_inherited(streams.output, true);
    const HANDLE error = open_inherited(streams.error, true);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process = {};
    const bool started =
        CreateProcessW(program.wstring().c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, folder.wstring().c_str(), &startup, &process);
    for (const HANDLE handle : {input, output, error})
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    if (!started)
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(status);
}

} // namespace test_platform
