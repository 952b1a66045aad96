// The platform layer on POSIX systems: file descriptors, stat identities,
// strerror and signals. Only POSIX calls, so that the BSDs and macOS build it.
#include "platform.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

// A 32-bit off_t makes open and fstat refuse files past 2 GiB.
static_assert(sizeof(off_t) == 8, "files are opened with 64-bit offsets (_FILE_OFFSET_BITS=64)");

namespace tremlox::platform {

error_code folder_error() {
    return EISDIR;
}

error_code print(console to, std::initializer_list<message_part> parts) {
    // One write for the whole line, so that lines from processes sharing
    // the stream do not interleave.
    std::array<iovec, 8> pieces{};
    std::array<std::string, 8> names;
    std::size_t count = 0;
    for (const message_part &part : parts) {
        if (count == pieces.size())
            break;
        const char *text = part.text().data();
        std::size_t size = part.text().size();
        if (part.name() != nullptr) {
            names[count] = printable_name(part.name());
            text = names[count].data();
            size = names[count].size();
        } else if (part.is_reason()) {
            text = std::strerror(static_cast<int>(part.error()));
            size = std::strlen(text);
        }
        if (size > 0) // an empty piece would read as a write that made no progress
            pieces[count++] = {const_cast<char *>(text), size};
    }
    const int fd = to == console::output ? STDOUT_FILENO : STDERR_FILENO;
    iovec *next = pieces.data();
    while (count > 0) {
        const ssize_t written = writev(fd, next, static_cast<int>(count));
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0) // no progress and no reason: do not spin
            return EIO;
        if (written < 0)
            return static_cast<error_code>(errno);
        auto left = static_cast<std::size_t>(written);
        while (count > 0 && left >= next->iov_len) {
            left -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char *>(next->iov_base) + left;
            next->iov_len -= left;
        }
    }
    return 0;
}

std::FILE *standard_output() {
    return stdout;
}

escape_sequences_on_standard_output::escape_sequences_on_standard_output() = default;
escape_sequences_on_standard_output::~escape_sequences_on_standard_output() = default;

error_code error_from_errno(int errno_value) {
    return static_cast<error_code>(errno_value);
}

bool reader_went_away(error_code error) {
    return error == EPIPE;
}

native_handle file::invalid_handle() {
    return -1;
}

file::~file() {
    if (is_open())
        ::close(handle_);
}

bool file::is_open() const {
    return handle_ >= 0;
}

std::ptrdiff_t file::read_some(std::span<unsigned char> buffer) noexcept {
    for (;;) {
        const ssize_t count = ::read(handle_, buffer.data(), buffer.size());
        if (count >= 0)
            return count;
        if (errno != EINTR) {
            last_error_ = static_cast<error_code>(errno);
            return -1;
        }
    }
}

bool file::write_all(std::span<const char> text) noexcept {
    while (!text.empty()) {
        const ssize_t count = ::write(handle_, text.data(), text.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0) // no progress and no reason: do not spin
            errno = EIO;
        if (count <= 0) {
            last_error_ = static_cast<error_code>(errno);
            return false;
        }
        text = text.subspan(static_cast<std::size_t>(count));
    }
    return true;
}

bool file::size(unsigned long long &size) const {
    struct stat status;
    if (type_ != file_type::regular || fstat(handle_, &status) != 0)
        return false;
    size = static_cast<unsigned long long>(status.st_size);
    return true;
}

bool file::truncate(error_code &error) {
    if (ftruncate(handle_, 0) == 0)
        return true;
    error = static_cast<error_code>(errno);
    return false;
}

error_code file::close() {
    const int result = ::close(handle_);
    handle_ = invalid_handle();
    // After a failed close the descriptor is gone all the same.
    return result == 0 ? 0 : static_cast<error_code>(errno);
}

namespace {

// Every file on POSIX systems has an identity: its device and inode.
file_identity identity_of(const struct stat &status) {
    file_identity identity;
    identity.volume = static_cast<unsigned long long>(status.st_dev);
    static_assert(sizeof status.st_ino <= sizeof identity.index);
    std::memcpy(identity.index, &status.st_ino, sizeof status.st_ino);
    identity.known = true;
    return identity;
}

file_type type_of(const struct stat &status) {
    if (S_ISREG(status.st_mode))
        return file_type::regular;
    return S_ISDIR(status.st_mode) ? file_type::folder : file_type::other;
}

// Takes the descriptor into the file, with what it is; closes it on failure.
bool adopt_descriptor(int fd, file &opened, error_code &error) {
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0) {
        error = static_cast<error_code>(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    opened.adopt(fd, type_of(status), identity_of(status));
    return true;
}

bool open_file(const char *name, int flags, file &opened, error_code &error) {
    return adopt_descriptor(open(name, flags | O_CLOEXEC, 0666), opened, error);
}

} // namespace

bool open_input(const char *name, file &input, error_code &error) {
    return open_file(name, O_RDONLY, input, error);
}

bool open_standard_input(file &input, error_code &error) {
    return adopt_descriptor(fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0), input, error);
}

bool open_output(const char *name, file &output, error_code &error) {
    return open_file(name, O_WRONLY | O_CREAT, output, error);
}

bool names_file(const char *name, const file &open_file) {
    struct stat named;
    return stat(name, &named) == 0 && identity_of(named) == open_file.identity();
}

void remove_file(const char *name) {
    unlink(name);
}

namespace {

// Read by the signal handler: set before the handlers go in.
const char *volatile guarded_name = nullptr;

constexpr std::array<int, 3> interruptions = {SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, interruptions.size()> interruption_actions;
std::array<bool, interruptions.size()> interruption_caught{};
struct sigaction file_size_action;

// Async-signal-safe only: unlink, signal, raise. The signal stays blocked
// while this runs, so it arrives again, now fatal, once the handler returns.
extern "C" void remove_output_and_end(int signal_number) {
    if (const char *name = guarded_name)
        unlink(name);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

} // namespace

void guard_output(const char *name) {
    guarded_name = name;
    struct sigaction action = {};
    action.sa_handler = remove_output_and_end;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : interruptions)
        sigaddset(&action.sa_mask, signal_number);
    for (std::size_t i = 0; i < interruptions.size(); ++i) {
        sigaction(interruptions[i], nullptr, &interruption_actions[i]);
        // nohup and trap '' HUP mean: carry on regardless.
        interruption_caught[i] = interruption_actions[i].sa_handler != SIG_IGN;
        if (interruption_caught[i])
            sigaction(interruptions[i], &action, nullptr);
    }
    // Past a file-size limit, a write then fails with EFBIG and takes the
    // usual failure path instead of ending the process.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &file_size_action);
}

void unguard_output() {
    for (std::size_t i = 0; i < interruptions.size(); ++i)
        if (interruption_caught[i])
            sigaction(interruptions[i], &interruption_actions[i], nullptr);
    sigaction(SIGXFSZ, &file_size_action, nullptr);
    guarded_name = nullptr;
}

} // namespace tremlox::platform
