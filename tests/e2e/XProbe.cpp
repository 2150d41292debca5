#include "XProbe.h"

#include "support/Child.h"
#include "support/Spawn.h"
#include "support/Wait.h"
#include "support/XClose.h"
#include "support/XProperty.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <sstream>
#include <thread>

namespace e2e {

namespace {

// Windows come and go while the tree is walked: their errors are expected.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

XProbe::XProbe(const char* display) {
    // A server that has just lost its last client resets and refuses connections for a moment.
    for (int attempt = 0; attempt < 40 && !display_; ++attempt) {
        display_ = XOpenDisplay(display);
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
    return AwaitInTree([&](unsigned long w) { return Title(w) == title; }, seconds);
}

unsigned long XProbe::WaitForWindowOf(int pid, double seconds) {
    return AwaitInTree([&](unsigned long w) { return Pid(w) == pid; }, seconds);
}

std::vector<unsigned long> XProbe::Clients() {
    return PropertyItems(display_, DefaultRootWindow(display_), "_NET_CLIENT_LIST", XA_WINDOW);
}

unsigned long XProbe::WaitForClient(const std::function<bool(unsigned long)>& wanted,
                                    double seconds) {
    return Await(
        [&]() -> unsigned long {
            for (unsigned long w : Clients())
                if (Viewable(w) && wanted(w))
                    return w;
            return 0;
        },
        seconds);
}

long XProbe::Pid(unsigned long window) {
    const std::vector<unsigned long> owner = Cardinals(window, "_NET_WM_PID");
    return owner.size() == 1 ? static_cast<long>(owner[0]) : 0;
}

unsigned long XProbe::Await(const std::function<unsigned long()>& find, double seconds) {
    return display_ ? WaitForValue(find, seconds) : 0;
}

unsigned long XProbe::AwaitInTree(const std::function<bool(unsigned long)>& wanted,
                                  double seconds) {
    return Await([&] { return Find(DefaultRootWindow(display_), wanted, 3); }, seconds);
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

std::vector<std::string> XProbe::AtomNames(unsigned long window, const std::string& property) {
    std::vector<std::string> names;
    for (unsigned long atom : PropertyItems(display_, window, property.c_str(), XA_ATOM)) {
        if (char* name = XGetAtomName(display_, atom)) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

std::vector<unsigned long> XProbe::Cardinals(unsigned long window, const std::string& property) {
    return PropertyItems(display_, window, property.c_str());
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
    return WaitChild(SpawnWithEnvironment(argv, {}, "/dev/null")) == 0;
}

} // namespace e2e
