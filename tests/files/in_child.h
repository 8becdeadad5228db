// body's result from a forked child that alarm() ends after five seconds; -1 when it did not exit by
// itself (a hang, a crash). Windows: body runs here.
#pragma once
#include <functional>
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

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
