// Part of a test run in a child process of its own (fork): another writer of the same store, a
// process that ends without flushing, one that gives up root. POSIX only.
#pragma once

#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// Starts `body` in a child process; what it returns is the child's exit code (the child ends
// with _exit: nothing of the parent's buffered output is written twice). -1 when fork fails.
template <class F> pid_t StartChild(F&& body) {
    pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    return pid;
}

// Waits for a child: its exit code, or -1 when it could not be waited for or did not exit.
inline int WaitChild(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

template <class F> int InChild(F&& body) {
    return WaitChild(StartChild(body));
}

// Runs `body` in a child whose descriptors `into` (1 standard output, 2 error) write into one
// pipe, and gives all the child wrote there; its exit code goes to *code.
template <class F>
std::string OutputOfChild(std::initializer_list<int> into, F&& body, int* code = nullptr) {
    int fds[2];
    if (pipe(fds) != 0) {
        if (code != nullptr) {
            *code = -1;
        }
        return "<no pipe>";
    }
    const pid_t pid = StartChild([&] {
        close(fds[0]);
        for (int fd : into) {
            dup2(fds[1], fd);
        }
        return body();
    });
    close(fds[1]);
    std::string written;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        written.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    const int exitCode = WaitChild(pid);
    if (code != nullptr) {
        *code = exitCode;
    }
    return written;
}
