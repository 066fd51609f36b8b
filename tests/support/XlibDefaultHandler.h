#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

// Last: Xlib's macros (None, Bool) clash with names in other headers.
#include <X11/Xlib.h>

namespace xtest {

// Runs body in a child process whose X error handler is Xlib's own, which ends the process with
// status 1 on any error that reaches it, as in a host that never installs one; answers the exit status
// (128 + the signal for a child that a signal ended).
inline int StatusWithXlibsDefaultHandler(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        XSetErrorHandler(nullptr);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace xtest
