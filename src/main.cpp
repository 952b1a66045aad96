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

// Removes an output that holds less than the whole text. Pipes and devices
// are left alone: there is nothing to remove.
void discard_output(const char *name, int fd) {
    struct stat status;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        unlink(name);
}

// Opens the output without emptying it, so that a file found to be the
// input after all (the name changed since it was checked) is left as it was.
int open_output(const char *name, const struct stat &input, bool &is_input) {
    const int fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return fd;
    struct stat output;
    if (fstat(fd, &output) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    is_input = is_own_output(input, output);
    if (!is_input && S_ISREG(output.st_mode) && ftruncate(fd, 0) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int finish(const char *input_name, const char *output_name, int output,
           tremlox::write_result result) {
    if (result.status != tremlox::write_status::done) {
        discard_output(output_name, output);
        close(output);
        const bool read_failed = result.status == tremlox::write_status::read_failed;
        return report(read_failed ? input_name : output_name, result.error);
    }
    // A full disk may only show when the last buffered bytes go out.
    if (close(output) != 0) {
        const int error = errno;
        unlink(output_name);
        return report(output_name, error);
    }
    return exit_converted;
}

int convert(const char *input_name, const char *output_name) {
    const int input = open(input_name, O_RDONLY | O_CLOEXEC);
    if (input < 0)
        return report(input_name, errno);
    struct stat input_status;
    if (fstat(input, &input_status) != 0) {
        const int error = errno;
        close(input);
        return report(input_name, error);
    }
    // A folder opens but cannot be read: say so before any output exists.
    if (S_ISDIR(input_status.st_mode)) {
        close(input);
        return report(input_name, EISDIR);
    }
    struct stat output_status;
    if (stat(output_name, &output_status) == 0 && is_own_output(input_status, output_status)) {
        close(input);
        return refuse_same_file(input_name, output_name);
    }

    bool output_is_input = false;
    const int output = open_output(output_name, input_status, output_is_input);
    if (output < 0) {
        const int error = errno;
        close(input);
        return report(output_name, error);
    }
    if (output_is_input) {
        close(output);
        close(input);
        return refuse_same_file(input_name, output_name);
    }

    tremlox::fd_source source(input);
    tremlox::fd_sink sink(output);
    const tremlox::write_result result = tremlox::write_array(source, sink);
    close(input);
    return finish(input_name, output_name, output, result);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        print_usage(program_name(argc, argv));
        return exit_usage;
    }
    return convert(argv[1], argv[2]);
}
