// The windows service on X11. Xlib connections are not shared between threads: each thread
// opens its own, so the splash thread never contends with the toolkit's connection.
#include "platform/winfind_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {
namespace {

// ---------------------------------------------------------------------------------------------
// Errors. Xlib's error handler is process-wide and its default ends the process; a window that
// vanishes between listing and reading it raises BadWindow. One handler serves the process: it
// swallows errors of the finder's connections (the calls report them by their results) and
// hands every other error on to the handler that was there before (the toolkit's).

std::mutex g_handlerMutex;
std::atomic<XErrorHandler> g_previousHandler{nullptr};

struct Connection {
    unsigned generation;
    Display* display;
    Atom netSupportingWmCheck, netClientList, netWmName, utf8String, netWmState, netWmStateAbove;
};

// The connections of the calling thread, closed when the thread ends.
struct ThreadConnections {
    std::vector<Connection> list;
    int lastError = 0; // error code of the last error on one of them, 0 for none
    ~ThreadConnections() {
        for (Connection& c : list)
            XCloseDisplay(c.display);
    }
};
thread_local ThreadConnections t_connections;

int FinderErrorHandler(Display* display, XErrorEvent* event) {
    // An error is reported on the thread that made the failing request, so a connection of
    // the finder is always one of the calling thread's own.
    for (const Connection& c : t_connections.list) {
        if (c.display == display) {
            t_connections.lastError = event->error_code;
            return 0;
        }
    }
    XErrorHandler previous = g_previousHandler.load();
    return previous ? previous(display, event) : 0;
}

// Puts the handler back in front when someone (the toolkit opening its display) replaced it.
void AssertErrorHandler() {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    XErrorHandler previous = XSetErrorHandler(FinderErrorHandler);
    if (previous != FinderErrorHandler)
        g_previousHandler.store(previous);
}

std::atomic<unsigned> g_nextGeneration{1};

Connection* ConnectionFor(unsigned generation, const std::string& displayName) {
    for (Connection& c : t_connections.list)
        if (c.generation == generation)
            return &c;
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display)
        return nullptr;
    const char* names[] = {"_NET_SUPPORTING_WM_CHECK",
                           "_NET_CLIENT_LIST",
                           "_NET_WM_NAME",
                           "UTF8_STRING",
                           "_NET_WM_STATE",
                           "_NET_WM_STATE_ABOVE"};
    Atom atoms[6] = {};
    XInternAtoms(display, const_cast<char**>(names), 6, False, atoms);
    t_connections.list.push_back(
        {generation, display, atoms[0], atoms[1], atoms[2], atoms[3], atoms[4], atoms[5]});
    return &t_connections.list.back();
}

// ---------------------------------------------------------------------------------------------
// Properties.

// The property's items (8-bit bytes, or 32-bit values as longs); false when it is missing, of
// another type or format, or the window is gone.
bool ReadProperty(Display* d, Window w, Atom property, Atom type, int format,
                  std::vector<unsigned char>* bytes, std::vector<unsigned long>* longs) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    // Long enough for any title or client list in practice (the length is in 32-bit units).
    if (XGetWindowProperty(d, w, property, 0, 65536, False, type, &actualType, &actualFormat,
                           &count, &after, &data) != Success)
        return false;
    bool ok = data && actualType == type && actualFormat == format;
    if (ok && format == 8 && bytes)
        bytes->assign(data, data + count);
    if (ok && format == 32 && longs) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        longs->assign(items, items + count);
    }
    if (data)
        XFree(data);
    return ok;
}

bool ReadWindowProperty(Display* d, Window w, Atom property, Window* value) {
    std::vector<unsigned long> items;
    if (!ReadProperty(d, w, property, XA_WINDOW, 32, nullptr, &items) || items.empty())
        return false;
    *value = static_cast<Window>(items[0]);
    return true;
}

std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The 8-bit ANSI title as UTF-8, the encoding window titles are compared in.
std::string AnsiToUtf8(const std::string& text) {
    bool ascii = std::all_of(text.begin(), text.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return text;
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Latin1ToUtf8(text);
    std::string in = text;
    std::string out(in.size() * 3 + 1, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return Latin1ToUtf8(text);
    out.resize(out.size() - outLeft);
    return out;
}

// The window's title in UTF-8: _NET_WM_NAME, else WM_NAME. False when it has neither.
bool ReadTitle(const Connection& c, Window w, std::string* title) {
    std::vector<unsigned char> bytes;
    if (ReadProperty(c.display, w, c.netWmName, c.utf8String, 8, &bytes, nullptr)) {
        title->assign(bytes.begin(), bytes.end());
        return true;
    }
    XTextProperty text{};
    if (!XGetWMName(c.display, w, &text))
        return false;
    bool ok = text.value != nullptr && text.format == 8;
    if (ok) {
        std::string raw(reinterpret_cast<const char*>(text.value), text.nitems);
        if (text.encoding == XA_STRING) {
            *title = Latin1ToUtf8(raw);
        } else if (text.encoding == c.utf8String) {
            *title = raw;
        } else {
            char** list = nullptr;
            int count = 0;
            if (Xutf8TextPropertyToTextList(c.display, &text, &list, &count) >= Success &&
                count > 0 && list) {
                *title = list[0];
            } else {
                *title = raw;
            }
            if (list)
                XFreeStringList(list);
        }
    }
    if (text.value)
        XFree(text.value);
    return ok;
}

bool Matches(const Connection& c, Window w, const std::string* wanted) {
    std::string title;
    if (!ReadTitle(c, w, &title))
        return false;
    return !wanted || TitlesEqual(title, *wanted);
}

// The window manager's check window, when an EWMH window manager runs. A stale property left
// by a window manager that has gone names a window that no longer points at itself.
Window WindowManagerCheck(const Connection& c, Window root) {
    Window check = None, self = None;
    if (!ReadWindowProperty(c.display, root, c.netSupportingWmCheck, &check))
        return None;
    if (!ReadWindowProperty(c.display, check, c.netSupportingWmCheck, &self) || self != check)
        return None;
    return check;
}

bool IsMapped(Display* d, Window w) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(d, w, &attributes) && attributes.map_state != IsUnmapped;
}

// Without a window manager: top-level windows are the root's children; a few levels below
// them for the frames of a window manager that keeps no client list.
Window SearchTree(const Connection& c, Window parent, const std::string* wanted, int depth) {
    Window rootReturn = None, parentReturn = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(c.display, parent, &rootReturn, &parentReturn, &children, &count))
        return None;
    std::vector<Window> list(children, children + count);
    if (children)
        XFree(children);
    // Topmost first, as the stacking order lists them last.
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (!IsMapped(c.display, *it))
            continue;
        if (Matches(c, *it, wanted))
            return *it;
        if (depth > 1) {
            Window found = SearchTree(c, *it, wanted, depth - 1);
            if (found != None)
                return found;
        }
    }
    return None;
}

// Sets or clears _NET_WM_STATE_ABOVE in the window's own state property, where no window
// manager does it.
void WriteAboveState(const Connection& c, Window w, bool above) {
    std::vector<unsigned long> state;
    ReadProperty(c.display, w, c.netWmState, XA_ATOM, 32, nullptr, &state);
    auto it = std::find(state.begin(), state.end(), c.netWmStateAbove);
    if (above && it == state.end())
        state.push_back(c.netWmStateAbove);
    if (!above && it != state.end())
        state.erase(it);
    XChangeProperty(c.display, w, c.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state.data()),
                    static_cast<int>(state.size()));
}

void RequestAboveState(const Connection& c, Window root, Window w, bool above) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = c.netWmState;
    event.xclient.format = 32;
    event.xclient.data.l[0] = above ? 1 : 0; // _NET_WM_STATE_ADD, _NET_WM_STATE_REMOVE
    event.xclient.data.l[1] = static_cast<long>(c.netWmStateAbove);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1; // from an application
    XSendEvent(c.display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

} // namespace

X11WindowFinder::X11WindowFinder(std::string displayName)
    : m_displayName(std::move(displayName)), m_generation(g_nextGeneration.fetch_add(1)) {}

// The calling thread's connection goes with the finder; other threads close theirs when they
// end.
X11WindowFinder::~X11WindowFinder() {
    auto& list = t_connections.list;
    for (auto it = list.begin(); it != list.end();) {
        if (it->generation == m_generation) {
            XCloseDisplay(it->display);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
}

unsigned long X11WindowFinder::WindowId(HWND hWnd) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hWnd));
}

HWND X11WindowFinder::Handle(unsigned long windowId) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(windowId));
}

HWND X11WindowFinder::FindTopLevel(const char* title) {
    AssertErrorHandler();
    Connection* c = ConnectionFor(m_generation, m_displayName);
    if (!c)
        return nullptr;
    const std::string wantedText = title ? AnsiToUtf8(title) : std::string();
    const std::string* wanted = title ? &wantedText : nullptr;
    Window root = DefaultRootWindow(c->display);
    Window found = None;
    if (WindowManagerCheck(*c, root) != None) {
        std::vector<unsigned long> clients;
        ReadProperty(c->display, root, c->netClientList, XA_WINDOW, 32, nullptr, &clients);
        for (unsigned long client : clients) {
            if (Matches(*c, static_cast<Window>(client), wanted)) {
                found = static_cast<Window>(client);
                break;
            }
        }
    } else {
        found = SearchTree(*c, root, wanted, 3);
    }
    return found == None ? nullptr : Handle(found);
}

BOOL X11WindowFinder::SetPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy,
                             UINT flags) {
    AssertErrorHandler();
    Connection* c = ConnectionFor(m_generation, m_displayName);
    if (!c || !hWnd)
        return FALSE;
    Display* d = c->display;
    const Window w = static_cast<Window>(WindowId(hWnd));
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(d, w, &attributes))
        return FALSE;
    const Window root = attributes.root;
    const bool managed = WindowManagerCheck(*c, root) != None;
    t_connections.lastError = 0;

    if (!(flags & SWP_NOZORDER)) {
        if (hWndInsertAfter == HWND_TOPMOST || hWndInsertAfter == HWND_NOTOPMOST) {
            const bool above = hWndInsertAfter == HWND_TOPMOST;
            if (managed) {
                RequestAboveState(*c, root, w, above);
            } else {
                // Nothing will keep it above later windows: raise it now, at least.
                WriteAboveState(*c, w, above);
                if (above)
                    XRaiseWindow(d, w);
            }
        } else if (hWndInsertAfter == HWND_TOP) {
            XRaiseWindow(d, w);
        } else if (hWndInsertAfter == HWND_BOTTOM) {
            XLowerWindow(d, w);
        } else {
            XWindowChanges changes{};
            changes.sibling = static_cast<Window>(WindowId(hWndInsertAfter));
            changes.stack_mode = Below;
            XReconfigureWMWindow(d, w, XScreenNumberOfScreen(attributes.screen),
                                 CWSibling | CWStackMode, &changes);
        }
    }
    if (!(flags & SWP_NOMOVE) && !(flags & SWP_NOSIZE) && cx > 0 && cy > 0)
        XMoveResizeWindow(d, w, x, y, static_cast<unsigned>(cx), static_cast<unsigned>(cy));
    else if (!(flags & SWP_NOMOVE))
        XMoveWindow(d, w, x, y);
    else if (!(flags & SWP_NOSIZE) && cx > 0 && cy > 0)
        XResizeWindow(d, w, static_cast<unsigned>(cx), static_cast<unsigned>(cy));
    XSync(d, False);
    return t_connections.lastError == 0 ? TRUE : FALSE;
}

} // namespace platform
