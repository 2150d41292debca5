// The windows service: finding a top-level window of any process by its title, and keeping a
// window so found above the others. The functions forward to the backend installed with
// InstallWindowFinder. The handles they hand out name windows of the window system, not
// windows of this process's framework; only the functions of this header take them.
#pragma once

#include "platform/windef.h"
#include "platform/winuser.h"

#include <string>

#ifndef _WIN32
// The first top-level window whose title equals lpWindowName, ASCII letters compared without
// regard to case (the title is 8-bit ANSI). A null title matches any window. Windows are found
// by title only: with a class name nothing is found. Null when there is none, or without a
// backend.
HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);

// Moves, sizes and restacks a window that FindWindowA returned. hWndInsertAfter HWND_TOPMOST
// keeps it above the other windows from now on, HWND_NOTOPMOST ends that, HWND_TOP raises it
// once. SWP_NOMOVE, SWP_NOSIZE and SWP_NOZORDER leave the position, the size and the stacking
// alone. FALSE when the window no longer exists or the request could not be made.
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
#endif // !_WIN32

namespace platform {

class WindowFinder {
  public:
    virtual ~WindowFinder() = default;

    // See FindWindowA; title is null for any window.
    virtual HWND FindTopLevel(const char* title) = 0;
    // See SetWindowPos.
    virtual BOOL SetPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy,
                        UINT flags) = 0;
};

// Installs the backend (not owned; null uninstalls). It must outlive every thread that uses it.
void InstallWindowFinder(WindowFinder* finder);
WindowFinder* InstalledWindowFinder();

// Title equality as FindWindowA compares: ASCII letters without regard to case, every other
// byte as it is.
bool TitlesEqual(const std::string& a, const std::string& b);

} // namespace platform
