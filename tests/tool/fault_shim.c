/* Preloaded into tremlox by the fault tests to put in faults that a real
 * system shows only rarely. Each one is switched on by an environment
 * variable:
 *   TREMLOX_SHIM_INTERRUPTIBLE    a SIGUSR1 handler without SA_RESTART
 *   TREMLOX_SHIM_LINK_OUTPUT=N    opening N to create it first replaces N
 *   TREMLOX_SHIM_LINK_TARGET=T    with a hard link to T
 *   TREMLOX_SHIM_FAIL_CLOSE=N     closing the descriptor of N fails (EIO)
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failing_fd = -1;

static void on_signal(int signal_number) { (void)signal_number; }

__attribute__((constructor)) static void install_handler(void) {
    if (getenv("TREMLOX_SHIM_INTERRUPTIBLE") == NULL)
        return;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, NULL);
}

static int is_named(const char *variable, const char *path) {
    const char *name = getenv(variable);
    return name != NULL && strcmp(name, path) == 0;
}

static int shim_open(const char *symbol, const char *path, int flags, mode_t mode) {
    if ((flags & O_CREAT) && is_named("TREMLOX_SHIM_LINK_OUTPUT", path)) {
        unlink(path);
        if (link(getenv("TREMLOX_SHIM_LINK_TARGET"), path) != 0)
            abort();
    }
    int (*real_open)(const char *, int, ...) =
        (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, symbol);
    const int fd = real_open(path, flags, mode);
    if (fd >= 0 && is_named("TREMLOX_SHIM_FAIL_CLOSE", path))
        failing_fd = fd;
    return fd;
}

#define SHIM_OPEN(symbol)                                                                          \
    int symbol(const char *path, int flags, ...) {                                                 \
        mode_t mode = 0;                                                                           \
        if (flags & O_CREAT) {                                                                     \
            va_list arguments;                                                                     \
            va_start(arguments, flags);                                                            \
            mode = va_arg(arguments, mode_t);                                                      \
            va_end(arguments);                                                                     \
        }                                                                                          \
        return shim_open(#symbol, path, flags, mode);                                              \
    }
SHIM_OPEN(open)
SHIM_OPEN(open64)

int close(int fd) {
    int (*real_close)(int) = (int (*)(int))dlsym(RTLD_NEXT, "close");
    const int result = real_close(fd);
    if (fd == failing_fd && result == 0) {
        failing_fd = -1;
        errno = EIO;
        return -1;
    }
    return result;
}
