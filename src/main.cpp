// tremlox: converts any file into C source declaring the array `screendata`.
//
//   tremlox infile outfile
//
// Exit status: 0 after a conversion, 1 after the usage texts, 2 when a file
// cannot be read or written (one line on standard error says why).

#include "array_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int exit_converted = 0;
constexpr int exit_usage = 1;
constexpr int exit_failed = 2;

void print_usage(const char *program) {
    std::printf("\n%s - ANSI screen to C data converter, version 1.0\n", program);
    std::puts("Purpose : Convert an ANSI file to c data statements.");
    std::printf("Usage : %s infile outfile\n\n", program);
}

// A process may be started with no argument 0; the kernel may then hand
// over an empty one instead.
const char *program_name(int argc, char **argv) {
    if (argc < 1 || argv[0] == nullptr || argv[0][0] == '\0')
        return "tremlox";
    return argv[0];
}

int report(const char *name, int error) {
    std::fprintf(stderr, "tremlox: %s: %s\n", name, std::strerror(error));
    return exit_failed;
}

bool same_file(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Only a regular file can be emptied by opening it for writing, so only a
// regular input needs guarding against being its own output.
bool is_own_output(const struct stat &input, const struct stat &output) {
    return S_ISREG(input.st_mode) && same_file(input, output);
}

int refuse_same_file(const char *input_name, const char *output_name) {
    std::fprintf(stderr, "tremlox: %s and %s are the same file\n", input_name, output_name);
    return exit_failed;
}

// Closes a descriptor on every way out of a function, unless released.
class file_descriptor {
  public:
    explicit file_descriptor(int fd) : fd_(fd) {}
    file_descriptor(const file_descriptor &) = delete;
    file_descriptor &operator=(const file_descriptor &) = delete;
    ~file_descriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

int convert(const char *input_name, const char *output_name) {
    file_descriptor input(open(input_name, O_RDONLY | O_CLOEXEC));
    struct stat input_status;
    if (input.get() < 0 || fstat(input.get(), &input_status) != 0)
        return report(input_name, errno);
    // A folder opens but cannot be read: say so before any output exists.
    if (S_ISDIR(input_status.st_mode))
        return report(input_name, EISDIR);
    struct stat output_status;
    if (stat(output_name, &output_status) == 0 && is_own_output(input_status, output_status))
        return refuse_same_file(input_name, output_name);

    // Opened without emptying it, so that a file that has turned into the
    // input since the check above is still left as it was.
    file_descriptor output(open(output_name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (output.get() < 0 || fstat(output.get(), &output_status) != 0)
        return report(output_name, errno);
    if (is_own_output(input_status, output_status))
        return refuse_same_file(input_name, output_name);
    // Only a regular file is emptied first, and removed when the text in it
    // is incomplete; pipes and devices are left alone.
    const bool output_is_regular = S_ISREG(output_status.st_mode);
    if (output_is_regular && ftruncate(output.get(), 0) != 0)
        return report(output_name, errno);

    tremlox::fd_source source(input.get());
    tremlox::fd_sink sink(output.get());
    const tremlox::write_result result = tremlox::write_array(source, sink);
    // A full disk may only show when the last bytes go out.
    const int close_error = close(output.release()) == 0 ? 0 : errno;
    if (result.status == tremlox::write_status::done && close_error == 0)
        return exit_converted;
    if (output_is_regular)
        unlink(output_name);
    switch (result.status) {
    case tremlox::write_status::read_failed:
        return report(input_name, result.error);
    case tremlox::write_status::write_failed:
        return report(output_name, result.error);
    case tremlox::write_status::done:
        break;
    }
    return report(output_name, close_error);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        print_usage(program_name(argc, argv));
        return exit_usage;
    }
    return convert(argv[1], argv[2]);
}
