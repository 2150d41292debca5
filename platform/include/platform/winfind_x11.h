// The windows service on X11 through Xlib. Every calling thread gets its own connection to the
// X server, opened at its first call and closed when the thread ends. Where a window manager
// runs, the top-level windows are its client list and "topmost" is its _NET_WM_STATE_ABOVE;
// where none runs, the windows near the root of the window tree are searched, and a window
// made topmost is raised once (nothing keeps it above later windows).
#pragma once

#include "platform/winfind.h"

#include <string>

namespace platform {

class X11WindowFinder : public WindowFinder {
  public:
    // displayName "" uses $DISPLAY.
    explicit X11WindowFinder(std::string displayName = std::string());
    ~X11WindowFinder() override;
    X11WindowFinder(const X11WindowFinder&) = delete;
    X11WindowFinder& operator=(const X11WindowFinder&) = delete;

    HWND FindTopLevel(const char* title) override;
    BOOL SetPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT flags) override;

    // The X window id behind a handle of this finder, and back.
    static unsigned long WindowId(HWND hWnd);
    static HWND Handle(unsigned long windowId);

  private:
    std::string m_displayName;
    unsigned m_generation; // tells this finder's per-thread connections from an earlier one's
};

} // namespace platform
