// What only POSIX systems offer the end-to-end tests: a child that is set up
// between fork and exec, and its raw wait status.
#pragma once

#include "test_platform.h"

#include <functional>
#include <sys/types.h>

namespace test_platform {

// Starts the program as run_program does; in_child runs after the streams
// are redirected, just before exec. Returns the child's process id.
pid_t start_program(const fs::path &program, const std::vector<std::string> &arguments,
                    const fs::path &folder, const child_streams &streams,
                    const std::function<void()> &in_child = {});

// Waits for the child; returns the wait status as waitpid gives it.
int wait_for(pid_t child);

} // namespace test_platform
