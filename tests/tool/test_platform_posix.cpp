#include "test_platform_posix.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test_platform {

const char *const null_device = "/dev/null";

const bool windows_names = false;

bool runs_as_root() {
    return geteuid() == 0;
}

bool under_wine() {
    return false;
}

void set_environment(const char *name, const char *value) {
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

fs::path make_scratch_folder() {
    std::string pattern = (fs::temp_directory_path() / "tremlox-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

namespace {

void redirect(const fs::path &path, int target, int flags) {
    const int fd = open(path.c_str(), flags, 0644);
    if (fd < 0 || dup2(fd, target) < 0)
        _exit(126);
    close(fd);
}

} // namespace

pid_t start_program(const fs::path &program, const std::vector<std::string> &arguments,
                    const fs::path &folder, const child_streams &streams,
                    const std::function<void()> &in_child) {
    std::vector<std::string> words = arguments;
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        redirect(streams.input, STDIN_FILENO, O_RDONLY);
        redirect(streams.output, STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        redirect(streams.error, STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        if (in_child)
            in_child();
        execve(program.c_str(), argv.data(), environ);
        _exit(127);
    }
    return child;
}

int wait_for(pid_t child) {
    int wait_status = 0;
    while (waitpid(child, &wait_status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return wait_status;
}

std::string cannot_start(const fs::path &program, int expected_status) {
    const pid_t child = fork();
    if (child == 0) {
        const int null_fd = open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2; ++fd)
            dup2(null_fd, fd);
        char *const argv[] = {const_cast<char *>(program.c_str()), nullptr};
        execve(program.c_str(), argv, environ);
        _exit(errno == ENOEXEC ? 126 : 127);
    }
    const int wait_status = wait_for(child);
    if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == expected_status)
        return {};
    return program.string() +
           " cannot be started here: it is built for another CPU and this kernel has no "
           "binfmt_misc registration for it (such as qemu-user-binfmt's), or it is linked "
           "dynamically and qemu-user does not find the target's libraries (QEMU_LD_PREFIX)";
}

int run_program(const fs::path &program, const std::vector<std::string> &arguments,
                const fs::path &folder, const child_streams &streams) {
    const pid_t child = start_program(program, arguments, folder, streams);
    if (child < 0)
        return -1;
    const int wait_status = wait_for(child);
    return wait_status >= 0 && WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
}

} // namespace test_platform
