#include "XServer.h"

#include "support/Spawn.h"
#include "support/XProperty.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testx {
namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> envStrings(extraEnv);
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0)
            envStrings.push_back(*e);
    std::vector<char*> argv = NullTerminated(args), envp = NullTerminated(envStrings);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, devnull, 1);
    posix_spawn_file_actions_adddup2(&actions, devnull, 2);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(devnull);
    return rc == 0 ? pid : -1;
}

// Openbox announces itself before it manages windows: it is ready once a window mapped now
// shows up in its client list.
bool WindowManagerManages(Display* d, Window probe) {
    bool listed = false;
    for (unsigned long window :
         PropertyItems(d, DefaultRootWindow(d), "_NET_CLIENT_LIST", XA_WINDOW))
        listed = listed || window == probe;
    return listed;
}

} // namespace

bool XServer::Start(bool withWindowManager, std::string* error) {
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "pipe";
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    // Xvfb writes its display number to the descriptor once it accepts connections.
    m_server = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                      "-nolisten", "tcp"},
                     {});
    close(fds[1]);
    if (m_server < 0) {
        close(fds[0]);
        *error = "Xvfb cannot be started";
        return false;
    }
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        *error = "Xvfb did not come up";
        Stop();
        return false;
    }
    m_display = ":" + number;
    if (!withWindowManager)
        return true;

    m_windowManager = Spawn({"openbox", "--sm-disable"}, {"DISPLAY=" + m_display});
    Display* d = XOpenDisplay(m_display.c_str());
    bool up = false;
    if (d) {
        Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_windowManager > 0 && std::chrono::steady_clock::now() < deadline) {
            // Mapped again each round: a map made before openbox took over is not managed.
            XMapWindow(d, probe);
            XSync(d, False);
            if ((up = WindowManagerManages(d, probe)))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        XDestroyWindow(d, probe);
        XSync(d, False);
        // The next client may get the probe's window id: openbox must be done with the probe
        // first, or it takes the new window for the old one.
        const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (up && WindowManagerManages(d, probe) && std::chrono::steady_clock::now() < gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (d)
        XCloseDisplay(d);
    if (!up) {
        *error = "openbox did not come up";
        Stop();
        return false;
    }
    return true;
}

void XServer::Stop() {
    for (pid_t* pid : {&m_windowManager, &m_server}) {
        if (*pid > 0) {
            kill(*pid, SIGTERM);
            int status = 0;
            waitpid(*pid, &status, 0);
            *pid = -1;
        }
    }
}

} // namespace testx
