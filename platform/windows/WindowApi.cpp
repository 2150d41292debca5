// FindWindowA and SetWindowPos over the installed backend.
#include "platform/ascii.h"
#include "platform/winfind.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<WindowFinder*> g_finder{nullptr};

} // namespace

void InstallWindowFinder(WindowFinder* finder) {
    g_finder.store(finder);
}
WindowFinder* InstalledWindowFinder() {
    return g_finder.load();
}

bool TitlesEqual(const std::string& a, const std::string& b) {
    return platform::EqualsAsciiNoCase(a, b);
}

} // namespace platform

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    platform::WindowFinder* finder = platform::InstalledWindowFinder();
    // Window classes belong to Win32; a window of another process has none we could compare.
    if (!finder || lpClassName)
        return nullptr;
    return finder->FindTopLevel(lpWindowName);
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    platform::WindowFinder* finder = platform::InstalledWindowFinder();
    if (!finder || !hWnd)
        return FALSE;
    return finder->SetPos(hWnd, hWndInsertAfter, X, Y, cx, cy, uFlags);
}
