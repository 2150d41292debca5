// CWnd over a real window: the map from handles to objects, and the window calls.
#include "WindowMap.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace platform::ui::win32 {
namespace {

struct Entry {
    CWnd* obj;
    WNDPROC superProc;
    HWND owner;
};

// Windows of several threads (the splash runs on its own) share the map.
std::mutex g_mapMutex;
std::unordered_map<HWND, Entry> g_map;

// Takes the entry out of the map; the object is then let go outside the lock.
bool Take(HWND hWnd, Entry* entry) {
    std::lock_guard<std::mutex> lock(g_mapMutex);
    auto it = g_map.find(hWnd);
    if (it == g_map.end())
        return false;
    *entry = it->second;
    g_map.erase(it);
    return true;
}

void LetGo(HWND hWnd, const Entry& e) {
    // A window that lives on gets its own procedure back, so nothing reaches the object.
    if (e.superProc && ::IsWindow(hWnd))
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(e.superProc));
    e.obj->m_hWnd = nullptr;
    if (AfxWindowAccess::IsAutoObject(e.obj))
        delete e.obj;
    else
        AfxWindowAccess::PostNcDestroy(e.obj);
}

CWnd* NewObjectOfClass(HWND control) {
    char name[32] = {};
    ::GetClassNameA(control, name, sizeof name);
    if (lstrcmpiA(name, "Button") == 0)
        return new CButton;
    if (lstrcmpiA(name, "ListBox") == 0)
        return new CListBox;
    if (lstrcmpiA(name, "Edit") == 0)
        return new CEdit;
    if (lstrcmpiA(name, "Static") == 0)
        return new CStatic;
    return new CWnd;
}

// The object of a control, made (and owned by the framework until the dialog ends) when it has
// none.
CWnd* ObjectOf(HWND control, HWND owner) {
    if (!control)
        return nullptr;
    if (CWnd* obj = Lookup(control))
        return obj;
    CWnd* obj = NewObjectOfClass(control);
    AfxWindowAccess::SetAutoObject(obj);
    Attach(control, obj, nullptr, owner);
    return obj;
}

} // namespace

void Attach(HWND hWnd, CWnd* obj, WNDPROC superProc, HWND owner) {
    obj->m_hWnd = hWnd;
    std::lock_guard<std::mutex> lock(g_mapMutex);
    g_map[hWnd] = {obj, superProc, owner};
}

CWnd* Lookup(HWND hWnd) {
    std::lock_guard<std::mutex> lock(g_mapMutex);
    auto it = g_map.find(hWnd);
    return it == g_map.end() ? nullptr : it->second.obj;
}

WNDPROC SuperProcOf(HWND hWnd) {
    std::lock_guard<std::mutex> lock(g_mapMutex);
    auto it = g_map.find(hWnd);
    return it == g_map.end() ? nullptr : it->second.superProc;
}

void Forget(HWND hWnd) {
    Entry e{};
    if (Take(hWnd, &e))
        LetGo(hWnd, e);
}

void ForgetControlsOf(HWND dialog) {
    std::vector<std::pair<HWND, Entry>> gone;
    {
        std::lock_guard<std::mutex> lock(g_mapMutex);
        for (auto it = g_map.begin(); it != g_map.end();) {
            if (it->second.owner == dialog && it->first != dialog) {
                gone.emplace_back(*it);
                it = g_map.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& [hWnd, e] : gone)
        LetGo(hWnd, e);
}

void AttachControlObjects(HWND dialog) {
    for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        ObjectOf(c, dialog);
}

LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* obj = Lookup(hWnd);
    WNDPROC superProc = SuperProcOf(hWnd);
    if (!obj || !superProc)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        Forget(hWnd);
        return ::CallWindowProcA(superProc, hWnd, message, wParam, lParam);
    }
    return obj->WindowProc(message, wParam, lParam);
}

} // namespace platform::ui::win32

namespace w32 = platform::ui::win32;

CWnd::~CWnd() {
    if (m_hWnd)
        CWnd::DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    return w32::Lookup(hWnd);
}

BOOL CWnd::DestroyWindow() {
    HWND hWnd = m_hWnd;
    if (!hWnd)
        return FALSE;
    const BOOL destroyed = ::DestroyWindow(hWnd);
    // The procedures of the framework let go at WM_NCDESTROY; a control's object that saw none
    // (it was not subclassed), or a window that could not be destroyed here, is let go now.
    // This may delete the object: nothing of it is used after.
    if (w32::Lookup(hWnd) == this)
        w32::Forget(hWnd);
    return destroyed;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd)
        return 0;
    if (WNDPROC superProc = w32::SuperProcOf(m_hWnd))
        return ::CallWindowProcA(superProc, m_hWnd, message, wParam, lParam);
    // A dialog's own procedure (the system's) does the rest when the dialog procedure says
    // FALSE.
    if (dynamic_cast<CDialog*>(this))
        return FALSE;
    auto classProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC));
    return ::CallWindowProcA(classProc, m_hWnd, message, wParam, lParam);
}

CWnd* CWnd::GetParent() const {
    return m_hWnd ? w32::Lookup(::GetParent(m_hWnd)) : nullptr;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    if (!m_hWnd)
        return nullptr;
    return w32::ObjectOf(::GetDlgItem(m_hWnd, nID), m_hWnd);
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    HWND control =
        pParent && pParent->m_hWnd ? ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)) : nullptr;
    if (!control || m_hWnd || w32::SuperProcOf(control))
        return FALSE;
    w32::Forget(control); // the object made for it, if any
    auto superProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&w32::SubclassProc)));
    w32::Attach(control, this, superProc, pParent->m_hWnd);
    return TRUE;
}

void CWnd::SetWindowText(const std::string& text) {
    ::SetWindowTextA(m_hWnd, text.c_str());
}

std::string CWnd::GetWindowText() const {
    if (!m_hWnd)
        return std::string();
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(m_hWnd)) + 1, '\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CWnd::SetDlgItemText(int nID, const std::string& text) {
    ::SetDlgItemTextA(m_hWnd, nID, text.c_str());
}

int CWnd::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const {
    if (nMaxCount <= 0)
        return 0;
    return static_cast<int>(::GetDlgItemTextA(m_hWnd, nID, lpStr, nMaxCount));
}

int CWnd::GetDlgItemText(int nID, std::string& text) const {
    CWnd* control = GetDlgItem(nID);
    text = control ? control->GetWindowText() : std::string();
    return static_cast<int>(text.size());
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned);
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const {
    BOOL translated = FALSE;
    const UINT value = ::GetDlgItemInt(m_hWnd, nID, &translated, bSigned);
    if (lpTrans)
        *lpTrans = translated;
    return translated ? value : 0;
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    ::CheckDlgButton(m_hWnd, nIDButton, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    return ::IsDlgButtonChecked(m_hWnd, nIDButton);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendDlgItemMessageA(m_hWnd, nID, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}

void CWnd::Invalidate(BOOL bErase) {
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowEnabled() const {
    return m_hWnd && ::IsWindowEnabled(m_hWnd) ? TRUE : FALSE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    if (!m_hWnd)
        return;
    const bool child = (::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD) != 0;
    HWND centre = pAlternateOwner ? pAlternateOwner->m_hWnd
                                  : (child ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER));
    // The work area of the screen bounds a top-level window; an owner that is hidden or
    // minimised is no place to centre on.
    RECT area{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT around = area;
    if (centre && ::IsWindowVisible(centre) && !::IsIconic(centre))
        ::GetWindowRect(centre, &around);
    RECT r{};
    ::GetWindowRect(m_hWnd, &r);
    const LONG width = r.right - r.left, height = r.bottom - r.top;
    LONG left = around.left + (around.right - around.left - width) / 2;
    LONG top = around.top + (around.bottom - around.top - height) / 2;
    if (child) {
        POINT p{left, top};
        ::ScreenToClient(::GetParent(m_hWnd), &p);
        left = p.x;
        top = p.y;
    } else {
        left = std::max(area.left, std::min(left, area.right - width));
        top = std::max(area.top, std::min(top, area.bottom - height));
    }
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    HWND after = pWndInsertAfter ? pWndInsertAfter->m_hWnd : HWND_TOP;
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, nFlags);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    *lpRect = {};
    if (m_hWnd)
        ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    *lpRect = {};
    if (m_hWnd)
        ::GetWindowRect(m_hWnd, lpRect);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer) {
    if (!m_hWnd || nIDEvent == 0)
        return 0;
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, reinterpret_cast<TIMERPROC>(lpfnTimer));
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return m_hWnd ? ::KillTimer(m_hWnd, nIDEvent) : FALSE;
}
