// Runs a body where a hang or a crash cannot take the test down with it.
#pragma once

#include <csignal>
#include <cstdio>
#include <functional>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

// body's result from a forked child that alarm() ends after a few seconds;
// -1 when it did not exit by itself. Windows has no fork: body runs here.
inline int in_child(const std::function<int()>& body) {
#if defined(_WIN32)
    return body();
#else
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) alarm(5), _exit(body());
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}
