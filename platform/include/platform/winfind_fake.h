// The window list of the tests: windows are added and removed by the test, every call is
// recorded. Safe to use from several threads.
#pragma once

#include "platform/winfind.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class FakeWindowFinder : public WindowFinder {
  public:
    struct PosCall {
        HWND hWnd;
        HWND insertAfter;
        int x, y, cx, cy;
        UINT flags;
    };

    // A new top-level window with that title, last in the list.
    HWND AddWindow(const std::string& title);
    // The window is gone: it is no longer found and SetWindowPos fails on it.
    void RemoveWindow(HWND hWnd);
    bool IsTopmost(HWND hWnd) const;

    // Called at the start of every search with its number (1 for the first), without the
    // fake's lock held, so that it may add or remove windows or change other state.
    void SetOnFind(std::function<void(int)> onFind);

    // Searches made, each counted once its SetOnFind call has returned.
    int FindCount() const;
    std::vector<std::string> TitlesSearched() const;
    std::vector<PosCall> PosCalls() const;

    HWND FindTopLevel(const char* title) override;
    BOOL SetPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT flags) override;

  private:
    struct Entry {
        HWND hWnd;
        std::string title;
        bool alive;
        bool topmost;
    };
    Entry* Lookup(HWND hWnd);

    mutable std::mutex m_mutex;
    std::vector<Entry> m_windows;
    int m_started = 0;
    std::vector<std::string> m_searched;
    std::vector<PosCall> m_posCalls;
    std::function<void(int)> m_onFind;
};

} // namespace platform
