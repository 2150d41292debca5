// The window list of the tests.
#include "platform/locked.h"
#include "platform/winfind_fake.h"

namespace platform {

HWND FakeWindowFinder::AddWindow(const std::string& title) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Handles that no pointer of this process can be: small, odd numbers.
    HWND hWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1001 + 2 * m_windows.size()));
    m_windows.push_back({hWnd, title, true, false});
    return hWnd;
}

void FakeWindowFinder::RemoveWindow(HWND hWnd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Entry* e = Lookup(hWnd))
        e->alive = false;
}

bool FakeWindowFinder::IsTopmost(HWND hWnd) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Entry& e : m_windows)
        if (e.hWnd == hWnd)
            return e.alive && e.topmost;
    return false;
}

void FakeWindowFinder::SetOnFind(std::function<void(int)> onFind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onFind = std::move(onFind);
}

int FakeWindowFinder::FindCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_searched.size());
}

std::vector<std::string> FakeWindowFinder::TitlesSearched() const {
    return platform::LockedCopy(m_mutex, m_searched);
}

std::vector<FakeWindowFinder::PosCall> FakeWindowFinder::PosCalls() const {
    return platform::LockedCopy(m_mutex, m_posCalls);
}

HWND FakeWindowFinder::FindTopLevel(const char* title) {
    std::function<void(int)> onFind;
    int number = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        number = ++m_started;
        onFind = m_onFind;
    }
    if (onFind)
        onFind(number);
    std::lock_guard<std::mutex> lock(m_mutex);
    // Counted once the hook has run, so a test that waits for a search also waits for it.
    m_searched.push_back(title ? title : "");
    for (const Entry& e : m_windows)
        if (e.alive && (!title || TitlesEqual(e.title, title)))
            return e.hWnd;
    return nullptr;
}

BOOL FakeWindowFinder::SetPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy,
                              UINT flags) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posCalls.push_back({hWnd, hWndInsertAfter, x, y, cx, cy, flags});
    Entry* e = Lookup(hWnd);
    if (!e || !e->alive)
        return FALSE;
    if (!(flags & SWP_NOZORDER)) {
        if (hWndInsertAfter == HWND_TOPMOST)
            e->topmost = true;
        else if (hWndInsertAfter == HWND_NOTOPMOST)
            e->topmost = false;
    }
    return TRUE;
}

FakeWindowFinder::Entry* FakeWindowFinder::Lookup(HWND hWnd) {
    for (Entry& e : m_windows)
        if (e.hWnd == hWnd)
            return &e;
    return nullptr;
}

} // namespace platform
