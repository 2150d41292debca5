// What an end-to-end test sees of the X display: windows found by title, their size and
// pixels, the close box, and keys typed through xdotool.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct _XDisplay;

namespace e2e {

// A picture of a window's client area, 0xRRGGBB per pixel.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class XProbe {
  public:
    // Connects to `display`, or to $DISPLAY without one.
    explicit XProbe(const char* display = nullptr);
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    bool Connected() const { return display_ != nullptr; }

    // A viewable window whose title is exactly `title`, waiting up to `seconds`; 0 for none.
    unsigned long WaitForWindow(const std::string& title, double seconds);
    // A viewable window of the process (_NET_WM_PID), for windows without a title.
    unsigned long WaitForWindowOf(int pid, double seconds);
    // The windows a window manager manages (_NET_CLIENT_LIST), and the first viewable one of them
    // that `wanted` accepts, waiting up to `seconds`; 0 for none.
    std::vector<unsigned long> Clients();
    unsigned long WaitForClient(const std::function<bool(unsigned long)>& wanted, double seconds);
    // The title: _NET_WM_NAME, else WM_NAME; "" for none.
    std::string Title(unsigned long window);
    // The process that made the window (_NET_WM_PID); 0 when it does not say.
    long Pid(unsigned long window);
    // Whether the window still exists and is viewable.
    bool Viewable(unsigned long window);
    // The client area's size.
    bool Size(unsigned long window, int* width, int* height);
    Picture Capture(unsigned long window);
    // Whether a window manager has announced itself (_NET_SUPPORTING_WM_CHECK).
    bool WindowManagerRunning();
    // Whether the window's _NET_WM_STATE holds the named state.
    bool HasState(unsigned long window, const std::string& state);
    // The names in an atom-list property (_NET_WM_WINDOW_TYPE, _NET_WM_ALLOWED_ACTIONS, ...).
    std::vector<std::string> AtomNames(unsigned long window, const std::string& property);
    // The 32-bit items of a property of any type (_NET_WM_PID, _MOTIF_WM_HINTS, ...).
    std::vector<unsigned long> Cardinals(unsigned long window, const std::string& property);
    // The close box: WM_DELETE_WINDOW, as a window manager sends it.
    void Close(unsigned long window);
    // Focuses the window and types keys (xdotool names, e.g. "Return", "alt+n").
    bool Keys(unsigned long window, const std::string& keys);

  private:
    // The first window `find` gives within `seconds`, and the first in the window tree that
    // `wanted` accepts; 0 for none.
    unsigned long Await(const std::function<unsigned long()>& find, double seconds);
    unsigned long AwaitInTree(const std::function<bool(unsigned long)>& wanted, double seconds);
    unsigned long Find(unsigned long root, const std::function<bool(unsigned long)>& wanted,
                       int depth);

    ::_XDisplay* display_ = nullptr;
};

} // namespace e2e
