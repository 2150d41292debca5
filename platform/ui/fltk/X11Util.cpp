#include "X11Util.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <dirent.h>
#include <fcntl.h>

#include <cstdlib>
#include <set>
#include <sstream>

namespace platform::ui::fltk {

bool OpenDisplay(std::string& error) {
    if (fl_display)
        return true;
    // Xlib must be told before any other Xlib call that several threads will use it (the splash
    // thread and the window finder have their own connections).
    XInitThreads();
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        error = "cannot open a window: no X display (DISPLAY is not set)";
        return false;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        error =
            std::string("cannot open a window: the X display \"") + name + "\" cannot be opened";
        return false;
    }
    fl_open_display(display);
    return true;
}

void KeepAbove(Fl_Window* window) {
    if (!window || !window->shown())
        return;
    ::Window xid = fl_xid(window);
    Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
    Atom above = XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
    event.xclient.data.l[1] = static_cast<long>(above);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1; // a normal application
    XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XRaiseWindow(fl_display, xid);
    XFlush(fl_display);
}

void SyncDisplay() {
    if (fl_display)
        XSync(fl_display, False);
}

std::string OpenDescriptors() {
    std::ostringstream out;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                out << entry->d_name << ' ';
        }
        closedir(dir);
    }
    return out.str();
}

void CloseOnExecSince(const std::string& before) {
    std::set<int> old;
    std::istringstream in(before);
    for (int fd; in >> fd;)
        old.insert(fd);
    std::istringstream now(OpenDescriptors());
    for (int fd; now >> fd;) {
        if (old.count(fd))
            continue;
        int flags = fcntl(fd, F_GETFD);
        if (flags >= 0)
            fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

} // namespace platform::ui::fltk
