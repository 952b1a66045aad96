// The platform layer on Windows: UTF-16 names opened with CreateFileW,
// binary reads and writes on handles, identities from the volume serial
// number and file index, FormatMessageW texts and console control events.
#include "platform.h"
#include "console_text_windows.h"

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00 // for FILE_ID_INFO; older systems fall back at run time
#endif
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

namespace tremlox::platform {

// ERROR_DIRECTORY_NOT_SUPPORTED, which not every SDK's headers name:
// "An operation is not supported on a directory".
error_code folder_error() {
    return 336;
}

namespace {

// UTF-8 from UTF-16. Without exceptions, running out of memory ends the
// process, which is all this tool could do about it.
std::string utf8_from_wide(std::wstring_view text) {
    const int size = static_cast<int>(text.size());
    std::string utf8(
        static_cast<std::size_t>(std::max(
            0, WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr))),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    return utf8;
}

// The system's text for an error, without its closing period and line end.
std::string reason_text(error_code error) {
    wchar_t *message = nullptr;
    const DWORD size = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t *>(&message), 0, nullptr);
    std::size_t length = size;
    while (length > 0 && (message[length - 1] == L'\r' || message[length - 1] == L'\n' ||
                          message[length - 1] == L' ' || message[length - 1] == L'.'))
        --length;
    std::string reason = length > 0 ? utf8_from_wide(std::wstring_view(message, length))
                                    : "error " + std::to_string(error);
    LocalFree(message);
    return reason;
}

bool write_bytes(HANDLE handle, const char *bytes, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, bytes, chunk, &written, nullptr))
            return false;
        if (written == 0) { // no progress and no reason: do not spin
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

} // namespace

error_code print(console to, std::initializer_list<message_part> parts) {
    std::string line;
    for (const message_part &part : parts) {
        if (part.name() != nullptr)
            line += printable_name(utf8_from_wide(part.name()));
        else if (part.is_reason())
            line += reason_text(part.error());
        else
            line += part.text();
    }
    if (line.empty())
        return 0;
    const HANDLE stream =
        GetStdHandle(to == console::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    DWORD mode = 0;
    const bool written = GetConsoleMode(stream, &mode)
                             ? tremlox__console_text_write(stream, line.data(), line.size()) == 0
                             : write_bytes(stream, line.data(), line.size());
    if (written)
        return 0;
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

std::FILE *standard_output() {
    // In text mode the C runtime would add a CR before each LF, and the
    // screen library's CR LF would arrive as CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    return stdout;
}

escape_sequences_on_standard_output::escape_sequences_on_standard_output() {
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console == nullptr || console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return;
    saved_mode_ = mode;
    changed_ = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0 &&
               SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

escape_sequences_on_standard_output::~escape_sequences_on_standard_output() {
    if (changed_)
        SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), static_cast<DWORD>(saved_mode_));
}

error_code error_from_errno(int errno_value) {
    // The C runtime turns the system's error of a failed write into an errno
    // value, and leaves the error itself for GetLastError: a pipe whose
    // reader went away gives EINVAL, for one. Out of memory is the library's
    // own, and no failed write.
    if (errno_value == ENOMEM)
        return ERROR_NOT_ENOUGH_MEMORY;
    const DWORD system_error = GetLastError();
    if (system_error != ERROR_SUCCESS)
        return system_error;
    switch (errno_value) {
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EPIPE:
        return ERROR_NO_DATA;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EACCES:
        return ERROR_ACCESS_DENIED;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_WRITE_FAULT;
    }
}

bool reader_went_away(error_code error) {
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
           error == ERROR_PIPE_NOT_CONNECTED;
}

native_handle file::invalid_handle() {
    return INVALID_HANDLE_VALUE;
}

file::~file() {
    if (is_open())
        CloseHandle(handle_);
}

bool file::is_open() const {
    return handle_ != INVALID_HANDLE_VALUE;
}

std::ptrdiff_t file::read_some(std::span<unsigned char> buffer) noexcept {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    DWORD count = 0;
    if (ReadFile(handle_, buffer.data(), wanted, &count, nullptr))
        return static_cast<std::ptrdiff_t>(count);
    const DWORD error = GetLastError();
    // The far end of a pipe closed: the input ends there.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
        return 0;
    last_error_ = error;
    return -1;
}

bool file::write_all(std::span<const char> text) noexcept {
    if (write_bytes(handle_, text.data(), text.size()))
        return true;
    last_error_ = GetLastError();
    return false;
}

bool file::size(unsigned long long &size) const {
    LARGE_INTEGER file_size;
    if (type_ != file_type::regular || !GetFileSizeEx(handle_, &file_size))
        return false;
    size = static_cast<unsigned long long>(file_size.QuadPart);
    return true;
}

bool file::truncate(error_code &error) {
    const LARGE_INTEGER start = {};
    if (SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN) && SetEndOfFile(handle_))
        return true;
    error = GetLastError();
    return false;
}

error_code file::close() {
    const bool closed = CloseHandle(handle_);
    handle_ = invalid_handle();
    return closed ? 0 : GetLastError();
}

namespace {

// A name as CreateFileW takes it. A long one gets the \\?\ prefix on its
// full path, which lifts the MAX_PATH limit; short ones, devices such as
// NUL among them, are passed as they are.
class system_name {
  public:
    explicit system_name(const wchar_t *name) : name_(name) {
        if (std::wcslen(name) < MAX_PATH - 12)
            return;
        std::wstring full(GetFullPathNameW(name, 0, nullptr, nullptr), L'\0');
        const DWORD length =
            GetFullPathNameW(name, static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0 || length >= full.size())
            return;
        full.resize(length);
        if (full.starts_with(L"\\\\?\\"))
            prefixed_ = full;
        else if (full.starts_with(L"\\\\"))
            prefixed_ = L"\\\\?\\UNC\\" + full.substr(2);
        else
            prefixed_ = L"\\\\?\\" + full;
    }
    const wchar_t *get() const { return prefixed_.empty() ? name_ : prefixed_.c_str(); }

  private:
    const wchar_t *name_;
    std::wstring prefixed_;
};

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FILE_ID_INFO has 128-bit indexes, unique on ReFS too; older systems only
// know the 64-bit index.
file_identity identity_of(HANDLE handle, const BY_HANDLE_FILE_INFORMATION &information) {
    file_identity identity;
    identity.known = true;
    FILE_ID_INFO long_id;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &long_id, sizeof long_id)) {
        identity.volume = long_id.VolumeSerialNumber;
        static_assert(sizeof long_id.FileId == sizeof identity.index);
        std::memcpy(identity.index, &long_id.FileId, sizeof identity.index);
        return identity;
    }
    identity.volume = information.dwVolumeSerialNumber;
    const DWORD parts[2] = {information.nFileIndexLow, information.nFileIndexHigh};
    std::memcpy(identity.index, parts, sizeof parts);
    return identity;
}

// What an open handle is. Devices (NUL, a console) and pipes are neither
// regular files nor folders, and have no identity.
bool describe(HANDLE handle, file_type &type, file_identity &identity, error_code &error) {
    type = file_type::other;
    SetLastError(ERROR_SUCCESS);
    const DWORD kind = GetFileType(handle);
    if (kind == FILE_TYPE_UNKNOWN && GetLastError() != ERROR_SUCCESS) {
        error = GetLastError();
        return false;
    }
    if (kind != FILE_TYPE_DISK)
        return true;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        error = GetLastError();
        return false;
    }
    const bool folder = information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    type = folder ? file_type::folder : file_type::regular;
    identity = identity_of(handle, information);
    return true;
}

bool open_file(const wchar_t *name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
               file &opened, error_code &error) {
    const system_name path(name);
    const HANDLE handle =
        CreateFileW(path.get(), access, share, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    file_type type;
    file_identity identity;
    if (!describe(handle, type, identity, error)) {
        CloseHandle(handle);
        return false;
    }
    opened.adopt(handle, type, identity);
    return true;
}

} // namespace

bool open_input(const wchar_t *name, file &input, error_code &error) {
    // Backup semantics let a folder open, so that it can be refused by type.
    return open_file(name, GENERIC_READ, share_all, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, input, error);
}

bool open_standard_input(file &input, error_code &error) {
    const HANDLE standard_input = GetStdHandle(STD_INPUT_HANDLE);
    if (standard_input == nullptr || standard_input == INVALID_HANDLE_VALUE) {
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    // A handle of its own, read as bytes: the C runtime's text mode never
    // sees them, and closing it leaves standard input open.
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), standard_input, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        error = GetLastError();
        return false;
    }
    file_type type;
    file_identity identity;
    if (!describe(copy, type, identity, error)) {
        CloseHandle(copy);
        return false;
    }
    input.adopt(copy, type, identity);
    return true;
}

bool open_output(const wchar_t *name, file &output, error_code &error) {
    // Shared for deletion, so that an incomplete output can be removed by
    // name while it is still open.
    return open_file(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, output, error);
}

bool names_file(const wchar_t *name, const file &open_file) {
    const system_name path(name);
    // No access asked for: this only reads the file's identity.
    const HANDLE named = CreateFileW(path.get(), 0, share_all, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    file_type type;
    file_identity identity;
    error_code ignored;
    const bool same = describe(named, type, identity, ignored) && identity == open_file.identity();
    CloseHandle(named);
    return same;
}

void remove_file(const wchar_t *name) {
    const system_name path(name);
    DeleteFileW(path.get());
}

namespace {

std::optional<system_name> guarded_storage;
system_name *volatile guarded = nullptr;

// Runs on a thread of its own. Returning FALSE lets the next handler, in the
// end the system's, close the process as Ctrl-C would have.
BOOL WINAPI remove_output_on_interrupt(DWORD event) {
    if (system_name *name = guarded)
        DeleteFileW(name->get());
    (void)event;
    return FALSE;
}

} // namespace

void guard_output(const wchar_t *name) {
    guarded_storage.emplace(name);
    guarded = &*guarded_storage;
    SetConsoleCtrlHandler(remove_output_on_interrupt, TRUE);
}

void unguard_output() {
    SetConsoleCtrlHandler(remove_output_on_interrupt, FALSE);
    guarded = nullptr;
}

} // namespace tremlox::platform
