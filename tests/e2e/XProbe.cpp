#include "XProbe.h"

#include "support/Spawn.h"
#include "support/XClose.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <sstream>
#include <thread>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

// Windows come and go while the tree is walked: their errors are expected.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int* out,
          int* err) {
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0)
        return -1;
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);

    const std::vector<std::string> environment = EnvironmentWith(env);
    std::vector<char*> args = NullTerminated(argv), envp = NullTerminated(environment);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return -1;
    }
    *out = outPipe[0];
    *err = errPipe[0];
    return pid;
}

} // namespace

XProbe::XProbe() {
    // A server that has just lost its last client resets and refuses connections for a moment.
    for (int attempt = 0; attempt < 40 && !display_; ++attempt) {
        display_ = XOpenDisplay(nullptr);
        if (!display_)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (display_)
        XSetErrorHandler(IgnoreErrors);
}

XProbe::~XProbe() {
    if (display_)
        XCloseDisplay(display_);
}

std::string XProbe::Title(unsigned long window) {
    Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display_, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data && type == utf8) {
        title.assign(reinterpret_cast<char*>(data), count);
    } else {
        char* name = nullptr;
        if (XFetchName(display_, window, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    if (data)
        XFree(data);
    return title;
}

unsigned long XProbe::Find(unsigned long root, const std::function<bool(unsigned long)>& wanted,
                           int depth) {
    ::Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, root, &rootReturn, &parent, &children, &count))
        return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, children[i], &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        if (wanted(children[i]))
            found = children[i];
        else if (depth > 0)
            found = Find(children[i], wanted, depth - 1);
    }
    if (children)
        XFree(children);
    return found;
}

unsigned long XProbe::WaitForWindow(const std::string& title, double seconds) {
    return WaitFor([this, &title](unsigned long w) { return Title(w) == title; }, seconds);
}

unsigned long XProbe::WaitForWindowOf(int pid, double seconds) {
    return WaitFor(
        [this, pid](unsigned long w) {
            const std::vector<unsigned long> owner = Cardinals(w, "_NET_WM_PID");
            return owner.size() == 1 && owner[0] == static_cast<unsigned long>(pid);
        },
        seconds);
}

unsigned long XProbe::WaitFor(const std::function<bool(unsigned long)>& wanted, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (display_) {
        if (unsigned long w = Find(DefaultRootWindow(display_), wanted, 3))
            return w;
        if (Clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

bool XProbe::Viewable(unsigned long window) {
    XWindowAttributes attributes;
    XSync(display_, False);
    return XGetWindowAttributes(display_, window, &attributes) &&
           attributes.map_state == IsViewable;
}

bool XProbe::Size(unsigned long window, int* width, int* height) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes))
        return false;
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

Picture XProbe::Capture(unsigned long window) {
    Picture picture;
    int width = 0, height = 0;
    if (!Size(window, &width, &height))
        return picture;
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            const uint32_t r = static_cast<uint32_t>((p & image->red_mask) >> 16) & 0xFF;
            const uint32_t g = static_cast<uint32_t>((p & image->green_mask) >> 8) & 0xFF;
            const uint32_t b = static_cast<uint32_t>(p & image->blue_mask) & 0xFF;
            picture.pixels.push_back((r << 16) | (g << 8) | b);
        }
    }
    XDestroyImage(image);
    return picture;
}

bool XProbe::WindowManagerRunning() {
    Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(display_, DefaultRootWindow(display_), check, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &after, &data) == Success &&
        data && count == 1;
    if (data)
        XFree(data);
    return found;
}

bool XProbe::HasState(unsigned long window, const std::string& state) {
    bool found = false;
    for (const std::string& name : AtomNames(window, "_NET_WM_STATE"))
        found |= name == state;
    return found;
}

std::vector<unsigned long> XProbe::Values(unsigned long window, const std::string& property,
                                          unsigned long type) {
    std::vector<unsigned long> values;
    Atom atom = XInternAtom(display_, property.c_str(), False);
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, atom, 0, 64, False, type, &actual, &format, &count,
                           &after, &data) == Success &&
        data && format == 32) {
        // Xlib hands 32-bit items over as longs.
        const long* items = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            values.push_back(static_cast<unsigned long>(items[i]));
    }
    if (data)
        XFree(data);
    return values;
}

std::vector<std::string> XProbe::AtomNames(unsigned long window, const std::string& property) {
    std::vector<std::string> names;
    for (unsigned long atom : Values(window, property, XA_ATOM)) {
        if (char* name = XGetAtomName(display_, atom)) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

std::vector<unsigned long> XProbe::Cardinals(unsigned long window, const std::string& property) {
    return Values(window, property, AnyPropertyType);
}

void XProbe::Close(unsigned long window) {
    SendWindowClose(display_, window);
}

bool XProbe::Keys(unsigned long window, const std::string& keys) {
    std::vector<std::string> argv = {"xdotool", "windowfocus",     "--sync", std::to_string(window),
                                     "key",     "--clearmodifiers"};
    std::istringstream in(keys);
    for (std::string key; in >> key;)
        argv.push_back(key);
    int out = -1, err = -1;
    const int pid = Spawn(argv, {}, &out, &err);
    if (pid <= 0)
        return false;
    close(out);
    close(err);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ---------------------------------------------------------------------------------------------

ShowDialog::ShowDialog(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<std::string> argv = {SHOW_DIALOG_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = Spawn(argv, env, &out_, &err_);
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
