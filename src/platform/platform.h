// What tremlox and tremlox-view need from the operating system: files and
// their identity, the standard streams, and the console. One implementation
// per system (platform_posix.cpp, platform_windows.cpp); the build picks one.
#pragma once

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tremlox::platform {

#if defined(_WIN32)
using native_char = wchar_t; // names stay UTF-16 until they are printed
using native_handle = void *;
#else
using native_char = char;
using native_handle = int;
#endif

// A failure in the system's own terms: errno, or GetLastError() on Windows.
using error_code = unsigned long;

// The error reported for a folder given as the input.
error_code folder_error();

// One piece of a console line: fixed text (UTF-8), a name as it was given,
// or the system's description of an error.
class message_part {
  public:
    template <std::size_t size> message_part(const char (&text)[size]) : text_(text, size - 1) {}
    // UTF-8 text made at run time; it must outlive the part.
    static message_part utf8(std::string_view text) {
        message_part part;
        part.text_ = text;
        return part;
    }
    static message_part name(const native_char *name) {
        message_part part;
        part.name_ = name;
        return part;
    }
    static message_part reason(error_code error) {
        message_part part;
        part.error_ = error;
        part.is_reason_ = true;
        return part;
    }

    std::string_view text() const { return text_; }
    const native_char *name() const { return name_; }
    bool is_reason() const { return is_reason_; }
    error_code error() const { return error_; }

  private:
    message_part() = default;
    std::string_view text_;
    const native_char *name_ = nullptr;
    error_code error_ = 0;
    bool is_reason_ = false;
};

enum class console { output, error };

// Writes the parts as one piece of text. A console gets them as the
// characters they are; a file or pipe gets UTF-8 on Windows and the bytes as
// given elsewhere. Names are written as printable_name shows them. Returns
// 0, or the failure of the write.
error_code print(console to, std::initializer_list<message_part> parts);

// A name (UTF-8, or any bytes) as it is safe to print: its control
// characters escaped, so that nothing of it acts on the terminal. C0 and DEL
// as "\033" (line feed, CR and TAB as "\n", "\r", "\t"), C1 and the
// bidirectional controls as "\u202e", a byte that is no UTF-8 as "\377". A
// plain name is as it was.
std::string printable_name(std::string_view name);

// Standard output as a C stream, for the screen library to write to:
// binary, so that its line ends pass as they are.
std::FILE *standard_output();

// While it lives, a console on standard output takes escape sequences as
// they are written (a Windows console's virtual terminal processing), for
// the images written through a sink of the program's own; it gives the
// console back its settings after. Terminals elsewhere need nothing.
class escape_sequences_on_standard_output {
  public:
    escape_sequences_on_standard_output();
    ~escape_sequences_on_standard_output();
    escape_sequences_on_standard_output(const escape_sequences_on_standard_output &) = delete;
    escape_sequences_on_standard_output &
    operator=(const escape_sequences_on_standard_output &) = delete;

  private:
    unsigned long saved_mode_ = 0;
    bool changed_ = false;
};

// A failure that the C library or the screen library reported in errno, in
// the system's own terms: on Windows, the system's error behind a failed
// write where there is one.
error_code error_from_errno(int errno_value);

// Whether a write failed because the reader of the pipe went away, as
// `| head` does once it has read enough.
bool reader_went_away(error_code error);

enum class file_type { regular, folder, other };

// Which file an open file is: its device or volume, and its number there.
// Unknown for some devices, which then are no file but themselves.
struct file_identity {
    unsigned long long volume = 0;
    unsigned char index[16] = {};
    bool known = false;
    bool operator==(const file_identity &) const = default;
};

// An open file, closed on every way out unless closed before. It is the
// writer's byte source (read_some) and byte sink (write_all): binary,
// nothing translated, reads and writes retried until done or failed. What
// it is, its type and identity, is read once when it is opened.
class file {
  public:
    file() = default;
    file(const file &) = delete;
    file &operator=(const file &) = delete;
    ~file();

    bool is_open() const;
    std::ptrdiff_t read_some(std::span<unsigned char> buffer) noexcept;
    bool write_all(std::span<const char> text) noexcept;
    // The failure of the last read or write that failed.
    error_code last_error() const { return last_error_; }

    file_type type() const { return type_; }
    const file_identity &identity() const { return identity_; }
    // The size of a regular file as it is now; false when the system cannot
    // tell (pipes, devices).
    bool size(unsigned long long &size) const;
    // Empties the file; for a regular file only.
    bool truncate(error_code &error);
    // Closes now: a full disk may only show here. Returns 0 or the failure.
    error_code close();

    void adopt(native_handle handle, file_type type, const file_identity &identity) {
        handle_ = handle;
        type_ = type;
        identity_ = identity;
    }

  private:
    native_handle handle_ = invalid_handle();
    error_code last_error_ = 0;
    file_type type_ = file_type::other;
    file_identity identity_;
    static native_handle invalid_handle();
};

// Opens the input for reading. A folder opens too, so that the driver can
// tell it apart before any output exists.
bool open_input(const native_char *name, file &input, error_code &error);

// Opens standard input for reading as a file of its own: binary, and
// closing it leaves standard input open.
bool open_standard_input(file &input, error_code &error);

// Opens the output for writing, creating it when absent but not emptying
// it, so that a file that is the input is left as it was.
bool open_output(const native_char *name, file &output, error_code &error);

// Whether two open files are one and the same file.
inline bool same_file(const file &a, const file &b) {
    return a.identity().known && a.identity() == b.identity();
}

// Whether the name already names the open file, before the name is opened
// for writing. False when it names nothing.
bool names_file(const native_char *name, const file &open_file);

// Removes a regular output whose text is incomplete; the file may still be
// open.
void remove_file(const native_char *name);

// While guarded, an interruption (Ctrl-C, a termination or hangup signal,
// Ctrl-Break or a closed console on Windows) removes the incomplete output
// before the process ends as it would have; a file-size limit makes writes
// fail rather than end the process. Interruptions that were ignored when the
// process started stay ignored. The name must stay valid while guarded.
void guard_output(const native_char *name);
void unguard_output();

} // namespace tremlox::platform
