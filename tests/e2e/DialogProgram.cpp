#include "DialogProgram.h"

#include "support/Spawn.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace e2e {

using Clock = std::chrono::steady_clock;

ShowDialog::ShowDialog(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<std::string> argv = {SHOW_DIALOG_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = SpawnWithPipes(argv, env, &out_, &err_);
}

ShowDialog::~ShowDialog() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0)
        close(out_);
    if (err_ >= 0)
        close(err_);
}

void ShowDialog::Drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<size_t>(n));
}

bool ShowDialog::Wait(double seconds) {
    if (pid_ <= 0)
        return false;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (status_ < 0) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (poll(fds, 2, 20) > 0) {
            if (fds[0].revents & POLLIN)
                Drain(out_, output_);
            if (fds[1].revents & POLLIN)
                Drain(err_, errors_);
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() > deadline)
            return false;
    }
    // What is left in the pipes after the end.
    for (int fd : {out_, err_}) {
        pollfd p = {fd, POLLIN, 0};
        while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
            const size_t before = (fd == out_ ? output_ : errors_).size();
            Drain(fd, fd == out_ ? output_ : errors_);
            if ((fd == out_ ? output_ : errors_).size() == before)
                break;
        }
    }
    return true;
}

} // namespace e2e
