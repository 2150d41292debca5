// The core of the framework: the installed backend, the records of the live windows, and sending
// and posting messages to them.
#include "Framework.h"
#include "platform/ascii.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <deque>
#include <mutex>
#include <unordered_set>

namespace platform::ui {
namespace {

UiBackend* g_backend = nullptr;

std::mutex g_liveMutex;
std::unordered_set<Window*> g_live;

struct PostedMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::mutex g_postedMutex;
std::deque<PostedMessage> g_posted;

} // namespace

void UiBackendDeleter::operator()(UiBackend* backend) const {
    delete backend;
}

void InstallUi(UiBackend* backend) {
    g_backend = backend;
}
UiBackend* InstalledUi() {
    return g_backend;
}
UiBackend* Backend() {
    return g_backend;
}

void Changed(Window& w) {
    if (g_backend)
        g_backend->Update(w);
}

void AddLive(Window* dialog) {
    std::lock_guard<std::mutex> lock(g_liveMutex);
    g_live.insert(dialog);
    for (auto& child : dialog->children)
        g_live.insert(child.get());
}

void RemoveLive(Window* w) {
    std::lock_guard<std::mutex> lock(g_liveMutex);
    for (auto& child : w->children)
        g_live.erase(child.get());
    g_live.erase(w);
}

Window* FromHandle(HWND hWnd) {
    auto* w = reinterpret_cast<Window*>(hWnd);
    std::lock_guard<std::mutex> lock(g_liveMutex);
    return g_live.count(w) ? w : nullptr;
}

Window* Window::child(int controlId) const {
    for (auto& c : children)
        if (c->id == controlId)
            return c.get();
    return nullptr;
}

int CompareNoCase(const std::string& a, const std::string& b) {
    return platform::CompareAsciiNoCase(a, b);
}

bool ReadInt(const std::string& text, int* value) {
    long long v = 0;
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        return false;
    const bool neg = text[i] == '-';
    if (neg)
        ++i;
    size_t digits = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        v = v * 10 + (text[i] - '0');
        if (v > INT_MAX)
            return false;
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (digits == 0 || i != text.size())
        return false;
    *value = static_cast<int>(neg ? -v : v);
    return true;
}

void NotifyParent(Window& control, UINT code) {
    if (control.parent)
        SendMessageA(control.parent->handle(), WM_COMMAND,
                     MAKEWPARAM(static_cast<WORD>(control.id), static_cast<WORD>(code)),
                     reinterpret_cast<LPARAM>(control.handle()));
}

int DeliverPostedMessages() {
    std::deque<PostedMessage> batch;
    {
        std::lock_guard<std::mutex> lock(g_postedMutex);
        batch.swap(g_posted);
    }
    int delivered = 0;
    for (auto& m : batch) {
        if (!FromHandle(m.hWnd))
            continue; // the window went away: the message is dropped, as Windows does
        SendMessageA(m.hWnd, m.message, m.wParam, m.lParam);
        ++delivered;
    }
    return delivered;
}

} // namespace platform::ui

using platform::ui::Window;

void AfxWindowAccess::Forget(Window* dialog) {
    platform::ui::RemoveLive(dialog);
    for (auto& child : dialog->children)
        DetachObject(child.get());
    DetachObject(dialog);
    delete dialog;
}

void AfxWindowAccess::DetachObject(Window* w) {
    CWnd* obj = w->object;
    w->object = nullptr;
    if (!obj)
        return;
    obj->m_hWnd = nullptr;
    if (obj->m_bAutoObject)
        delete obj;
    else
        obj->PostNcDestroy();
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!platform::ui::FromHandle(hWnd))
        return FALSE;
    {
        std::lock_guard<std::mutex> lock(platform::ui::g_postedMutex);
        platform::ui::g_posted.push_back({hWnd, Msg, wParam, lParam});
    }
    if (platform::ui::g_backend)
        platform::ui::g_backend->Wake();
    return TRUE;
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = platform::ui::FromHandle(hWnd);
    if (!w)
        return 0;
    if (w->object)
        return w->object->WindowProc(Msg, wParam, lParam);
    // A control without an object of its own behaves as its class does.
    return platform::ui::CallClassProc(*w, Msg, wParam, lParam);
}

BOOL IsWindow(HWND hWnd) {
    return platform::ui::FromHandle(hWnd) != nullptr;
}

int GetSystemMetrics(int nIndex) {
    return platform::ui::g_backend ? platform::ui::g_backend->GetSystemMetrics(nIndex) : 0;
}
