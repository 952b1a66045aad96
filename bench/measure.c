/* Runs one command and prints one line on standard output: the wall-clock
 * time from spawning it to reaping it in nanoseconds, its wait status, and
 * its peak resident set in KiB (ru_maxrss).
 *
 *   measure program [argument...]
 *
 * The benchmark starts every tool through this small process because Linux
 * charges a new program with the peak resident set of the address space it
 * was started from: a tool spawned straight from Python reports Python's
 * size (over 13 MiB), not its own. The command's standard output goes to
 * standard error, so that standard output carries only the figures.
 *
 * Exit status: 0 when the figures were printed (whatever the command's own
 * status), 127 when the command could not be run. */

#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

static long long nanoseconds_between(struct timespec start, struct timespec end) {
    return (long long)(end.tv_sec - start.tv_sec) * 1000000000LL + (end.tv_nsec - start.tv_nsec);
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fputs("usage: measure program [argument...]\n", stderr);
        return 127;
    }
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0 ||
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO) != 0) {
        fputs("measure: cannot set up the command's files\n", stderr);
        return 127;
    }

    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid;
    const int error = posix_spawnp(&pid, argv[1], &actions, NULL, argv + 1, environ);
    if (error != 0) {
        fprintf(stderr, "measure: %s: %s\n", argv[1], strerror(error));
        return 127;
    }
    int status;
    struct rusage usage;
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            perror("measure: wait4");
            return 127;
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &end);

    printf("%lld %d %ld\n", nanoseconds_between(start, end), status, usage.ru_maxrss);
    return fflush(stdout) == 0 ? 0 : 127;
}
