// CWnd: the program's handle on a window of the framework.
#include "Framework.h"

#include <algorithm>
#include <cctype>

using platform::ui::Kind;
using platform::ui::Window;

namespace {

RECT ScreenRect(const Window& w) {
    RECT r = w.rect;
    if (w.kind != Kind::Dialog && w.parent) {
        r.left += w.parent->rect.left;
        r.right += w.parent->rect.left;
        r.top += w.parent->rect.top;
        r.bottom += w.parent->rect.top;
    }
    return r;
}

// A control that can no longer take the focus loses it, as on Windows.
void DropFocusIfGone(Window& control) {
    platform::ui::DialogState* d =
        control.parent ? control.parent->As<platform::ui::DialogState>() : nullptr;
    if (d && d->focus == &control && !platform::ui::TakesFocus(control))
        platform::ui::SetDialogFocus(*control.parent, nullptr, false);
}

// Shows or hides, enables or disables a window (`flag`: visible or enabled): the flag as it
// was, or -1 when there is no window.
int SetWindowFlag(Window* w, bool Window::*flag, bool value) {
    if (!w)
        return -1;
    const bool was = w->*flag;
    w->*flag = value;
    DropFocusIfGone(*w);
    platform::ui::Changed(*w);
    return was ? 1 : 0;
}

} // namespace

void platform::ui::DeliverTimer(Window& window, UINT_PTR id) {
    if (window.timers.count(id))
        SendMessageA(window.handle(), WM_TIMER, id, 0);
}

CWnd::~CWnd() {
    if (m_hWnd)
        CWnd::DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    Window* w = platform::ui::FromHandle(hWnd);
    return w ? w->object : nullptr;
}

// The built-in behaviour of the window classes: what Windows' own window procedures do.
LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    platform::ui::Window* w = AfxWindowAccess::Record(this);
    return w ? platform::ui::CallClassProc(*w, message, wParam, lParam) : 0;
}

BOOL CWnd::DestroyWindow() {
    Window* w = AfxWindowAccess::Record(this);
    if (!w) {
        m_hWnd = nullptr;
        return FALSE;
    }
    if (w->kind == Kind::Dialog) {
        if (platform::ui::Backend())
            platform::ui::Backend()->Unrealize(*w);
        AfxWindowAccess::Forget(w);
        return TRUE;
    }
    // A control: it disappears from its dialog and forgets its object.
    w->visible = false;
    DropFocusIfGone(*w);
    platform::ui::Changed(*w);
    platform::ui::RemoveLive(w);
    AfxWindowAccess::DetachObject(w);
    m_hWnd = nullptr;
    return TRUE;
}

CWnd* CWnd::GetParent() const {
    Window* w = AfxWindowAccess::Record(this);
    return w && w->parent ? w->parent->object : nullptr;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    Window* w = AfxWindowAccess::Record(this);
    Window* c = w ? w->child(nID) : nullptr;
    return c ? c->object : nullptr;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    Window* parent = pParent ? AfxWindowAccess::Record(pParent) : nullptr;
    Window* c = parent ? parent->child(static_cast<int>(nID)) : nullptr;
    if (!c || m_hWnd)
        return FALSE;
    CWnd* old = c->object;
    c->object = this;
    m_hWnd = c->handle();
    if (old) {
        old->m_hWnd = nullptr;
        if (old->m_bAutoObject)
            delete old;
    }
    return TRUE;
}

void CWnd::SetWindowText(const std::string& text) {
    SendMessageA(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string CWnd::GetWindowText() const {
    Window* w = AfxWindowAccess::Record(this);
    return w ? w->text : std::string();
}

void CWnd::SetDlgItemText(int nID, const std::string& text) {
    if (CWnd* c = GetDlgItem(nID))
        c->SetWindowText(text);
}

int CWnd::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const {
    Window* w = AfxWindowAccess::Record(this);
    Window* c = w ? w->child(nID) : nullptr;
    if (!c || nMaxCount <= 0)
        return 0;
    return static_cast<int>(SendMessageA(c->handle(), WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpStr)));
}

int CWnd::GetDlgItemText(int nID, std::string& text) const {
    Window* w = AfxWindowAccess::Record(this);
    Window* c = w ? w->child(nID) : nullptr;
    text = c ? c->text : std::string();
    return static_cast<int>(text.size());
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    SetDlgItemText(nID,
                   bSigned ? std::to_string(static_cast<int>(nValue)) : std::to_string(nValue));
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const {
    std::string text;
    GetDlgItemText(nID, text);
    // Windows reads optional blanks, an optional minus sign (signed only) and digits.
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool neg = false;
    if (bSigned && i < text.size() && text[i] == '-') {
        neg = true;
        ++i;
    }
    unsigned long long v = 0;
    size_t digits = 0;
    bool overflow = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        v = v * 10 + static_cast<unsigned>(text[i] - '0');
        if (v > 0xFFFFFFFFull)
            overflow = true;
        ++i;
        ++digits;
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool ok = digits > 0 && i == text.size() && !overflow;
    if (ok && bSigned)
        ok = neg ? v <= 0x80000000ull : v <= 0x7FFFFFFFull;
    if (lpTrans)
        *lpTrans = ok ? TRUE : FALSE;
    if (!ok)
        return 0;
    return neg ? static_cast<UINT>(-static_cast<long long>(v)) : static_cast<UINT>(v);
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    SendDlgItemMessage(nIDButton, BM_SETCHECK, nCheck, 0);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    Window* w = AfxWindowAccess::Record(this);
    Window* c = w ? w->child(nIDButton) : nullptr;
    return c ? static_cast<UINT>(SendMessageA(c->handle(), BM_GETCHECK, 0, 0)) : 0;
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = AfxWindowAccess::Record(this);
    Window* c = w ? w->child(nID) : nullptr;
    return c ? SendMessageA(c->handle(), message, wParam, lParam) : 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    const int wasVisible =
        SetWindowFlag(AfxWindowAccess::Record(this), &Window::visible, nCmdShow != SW_HIDE);
    return wasVisible == 1 ? TRUE : FALSE;
}

void CWnd::UpdateWindow() {
    Window* w = AfxWindowAccess::Record(this);
    if (w && platform::ui::Backend())
        platform::ui::Backend()->Paint(*w);
}

void CWnd::Invalidate(BOOL) {
    if (Window* w = AfxWindowAccess::Record(this))
        platform::ui::Changed(*w);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    const int wasEnabled =
        SetWindowFlag(AfxWindowAccess::Record(this), &Window::enabled, bEnable != FALSE);
    return wasEnabled == 0 ? TRUE : FALSE; // whether it was disabled
}

BOOL CWnd::IsWindowEnabled() const {
    Window* w = AfxWindowAccess::Record(this);
    return w && w->enabled ? TRUE : FALSE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w)
        return;
    RECT area{};
    Window* owner = pAlternateOwner ? AfxWindowAccess::Record(pAlternateOwner)
                                    : (w->kind == Kind::Dialog ? w->parent : w->parent);
    if (owner) {
        area = ScreenRect(*owner);
    } else {
        SIZE screen = platform::ui::Backend() ? platform::ui::Backend()->ScreenSize() : SIZE{0, 0};
        area = {0, 0, screen.cx, screen.cy};
    }
    LONG width = w->rect.right - w->rect.left;
    LONG height = w->rect.bottom - w->rect.top;
    LONG left = area.left + (area.right - area.left - width) / 2;
    LONG top = area.top + (area.bottom - area.top - height) / 2;
    if (w->kind != Kind::Dialog && w->parent) {
        left -= w->parent->rect.left;
        top -= w->parent->rect.top;
    }
    if (w->kind == Kind::Dialog) {
        left = std::max<LONG>(left, 0);
        top = std::max<LONG>(top, 0);
    }
    w->rect = {left, top, left + width, top + height};
    platform::ui::Changed(*w);
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT nFlags) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w)
        return FALSE;
    if (!(nFlags & SWP_NOMOVE)) {
        LONG width = w->rect.right - w->rect.left;
        LONG height = w->rect.bottom - w->rect.top;
        w->rect = {x, y, x + width, y + height};
    }
    if (!(nFlags & SWP_NOSIZE)) {
        w->rect.right = w->rect.left + cx;
        w->rect.bottom = w->rect.top + cy;
    }
    platform::ui::Changed(*w);
    return TRUE;
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    Window* w = AfxWindowAccess::Record(this);
    if (!w) {
        *lpRect = {};
        return;
    }
    *lpRect = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    Window* w = AfxWindowAccess::Record(this);
    *lpRect = w ? ScreenRect(*w) : RECT{};
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w || nIDEvent == 0)
        return 0;
    w->timers[nIDEvent] = std::max<UINT>(nElapse, 10);
    if (platform::ui::Backend())
        platform::ui::Backend()->TimersChanged(*w);
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w || !w->timers.erase(nIDEvent))
        return FALSE;
    if (platform::ui::Backend())
        platform::ui::Backend()->TimersChanged(*w);
    return TRUE;
}
