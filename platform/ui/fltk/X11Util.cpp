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

namespace {

enum AtomId {
    kNetWmState,
    kNetWmStateAbove,
    kNetWmWindowType,
    kNetWmWindowTypeDialog,
    kNetWmWindowTypeToolbar,
    kNetSupportingWmCheck,
    kNetWmName,
    kUtf8String,
    kMotifWmHints,
    kAtomCount
};

// The backend's atoms, then the ones FLTK interns one request each when it opens the display
// and shows a window. Interned together before FLTK starts, they are all in Xlib's atom cache,
// and FLTK's calls cost no round trip.
const char* const kAtomNames[] = {
    // The backend's, in AtomId order.
    "_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_SUPPORTING_WM_CHECK", "_NET_WM_NAME", "UTF8_STRING",
    "_MOTIF_WM_HINTS",
    // FLTK 1.3's.
    "WM_DELETE_WINDOW", "WM_PROTOCOLS", "TARGETS", "CLIPBOARD", "TIMESTAMP", "PRIMARY_TIMESTAMP",
    "CLIPBOARD_TIMESTAMP", "XdndAware", "XdndSelection", "XdndEnter", "XdndTypeList",
    "XdndPosition", "XdndLeave", "XdndDrop", "XdndStatus", "XdndActionCopy", "XdndFinished",
    "text/uri-list", "text/plain;charset=UTF-8", "text/plain;charset=utf-8", "text/plain", "TEXT",
    "COMPOUND_TEXT", "image/bmp", "image/png", "INCR", "_NET_WM_PID", "_NET_WM_ICON_NAME",
    "_NET_WM_STATE_FULLSCREEN", "_NET_WM_FULLSCREEN_MONITORS", "_NET_WORKAREA", "_NET_WM_ICON",
    "_NET_ACTIVE_WINDOW", "_NET_WM_STATE_MODAL", "_NET_WM_STATE_SKIP_TASKBAR",
    // Xlib's, for the window properties FLTK sets.
    "WM_LOCALE_NAME"};
constexpr int kAllAtoms = sizeof kAtomNames / sizeof kAtomNames[0];

Atom g_atoms[kAllAtoms] = {};

void InternAtoms(Display* display) {
    XInternAtoms(display, const_cast<char**>(kAtomNames), kAllAtoms, False, g_atoms);
}

// One of the backend's atoms (under the FLTK lock, as every use of FLTK's display is).
Atom AtomOf(AtomId id) {
    if (!g_atoms[0])
        InternAtoms(fl_display);
    return g_atoms[id];
}

// The name the running window manager gives itself (EWMH), or "" without one.
std::string WindowManagerName() {
    std::string name;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ::Window check = None;
    if (XGetWindowProperty(fl_display, RootWindow(fl_display, fl_screen),
                           AtomOf(kNetSupportingWmCheck), 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        check = *reinterpret_cast<::Window*>(data);
    if (data)
        XFree(data);
    data = nullptr;
    if (check == None)
        return name;
    if (XGetWindowProperty(fl_display, check, AtomOf(kNetWmName), 0, 64, False, AtomOf(kUtf8String),
                           &type, &format, &count, &after, &data) == Success &&
        data && format == 8)
        name.assign(reinterpret_cast<char*>(data), count);
    if (data)
        XFree(data);
    return name;
}

// What a window manager is told of a Windows dialog frame: it moves and closes, nothing else.
void SetDialogFrameHints(::Window xid) {
    // Motif hints: flags (functions, decorations), functions (move, close), decorations
    // (border, title, window menu), input mode, status.
    long motif[5] = {1 | 2, 4 | 32, 2 | 8 | 16, 0, 0};
    XChangeProperty(fl_display, xid, AtomOf(kMotifWmHints), AtomOf(kMotifWmHints), 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(motif), 5);
    // Openbox leaves the minimise box of every normal or dialog window whatever the Motif
    // hints say (it takes only resizing and moving from them); of the window types it knows,
    // it gives a toolbar window a close box and no other. Other window managers take the
    // dialog type and the Motif hints.
    Atom types[2] = {AtomOf(kNetWmWindowTypeDialog), None};
    int typeCount = 1;
    if (WindowManagerName() == "Openbox") {
        types[0] = AtomOf(kNetWmWindowTypeToolbar);
        types[1] = AtomOf(kNetWmWindowTypeDialog);
        typeCount = 2;
    }
    XChangeProperty(fl_display, xid, AtomOf(kNetWmWindowType), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(types), typeCount);
}

} // namespace

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
    InternAtoms(display);
    fl_open_display(display);
    return true;
}

void KeepAbove(Fl_Window* window) {
    if (!window || !window->shown())
        return;
    ::Window xid = fl_xid(window);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = AtomOf(kNetWmState);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
    event.xclient.data.l[1] = static_cast<long>(AtomOf(kNetWmStateAbove));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1; // a normal application
    XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XRaiseWindow(fl_display, xid);
    XFlush(fl_display);
}

void ShowWithDialogFrame(Fl_Window* window) {
    if (window->shown() || !window->border()) {
        window->show();
        return;
    }
    // A window manager reads the hints once, when it takes the window on after the map. FLTK
    // maps the window in show(), so the server is held from before the map until the hints
    // are set: the window manager's requests wait until then.
    XGrabServer(fl_display);
    window->show();
    SetDialogFrameHints(fl_xid(window));
    XUngrabServer(fl_display);
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
