// Windows, dialogs and controls of the framework: the records behind every window, the message
// maps, the built-in behaviour of the controls and the input the backends deliver.
#include "platform/ui_backend.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
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

void AddLive(Window* w) {
    std::lock_guard<std::mutex> lock(g_liveMutex);
    g_live.insert(w);
    for (auto& child : w->children)
        g_live.insert(child.get());
}

void RemoveLive(Window* w) {
    std::lock_guard<std::mutex> lock(g_liveMutex);
    for (auto& child : w->children)
        g_live.erase(child.get());
    g_live.erase(w);
}

void Changed(Window& w) {
    if (g_backend)
        g_backend->Update(w);
}

int CompareNoCase(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

Kind KindOf(const ControlTemplate& c) {
    std::string cls = c.className;
    for (auto& ch : cls)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (cls == "BUTTON") {
        switch (c.style & BS_TYPEMASK) {
        case BS_DEFPUSHBUTTON:
            return Kind::DefPushButton;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
            return Kind::CheckBox;
        case BS_GROUPBOX:
            return Kind::GroupBox;
        case BS_OWNERDRAW:
            return Kind::OwnerDrawButton;
        default:
            return Kind::PushButton;
        }
    }
    if (cls == "EDIT")
        return Kind::Edit;
    if (cls == "LISTBOX")
        return Kind::ListBox;
    if (cls == "MSCTLS_UPDOWN32")
        return Kind::UpDown;
    switch (c.style & SS_TYPEMASK) {
    case SS_ICON:
        return Kind::Icon;
    case SS_BLACKRECT:
        return Kind::BlackRect;
    default:
        return Kind::Static;
    }
}

CWnd* NewControlObject(Kind kind) {
    switch (kind) {
    case Kind::PushButton:
    case Kind::DefPushButton:
    case Kind::CheckBox:
    case Kind::GroupBox:
    case Kind::OwnerDrawButton:
        return new CButton;
    case Kind::ListBox:
        return new CListBox;
    case Kind::Edit:
        return new CEdit;
    case Kind::Static:
    case Kind::Icon:
    case Kind::BlackRect:
        return new CStatic;
    default:
        return new CWnd;
    }
}

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

int ReadInt(const std::string& text, bool* ok) {
    long long v = 0;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool neg = false;
    if (i < text.size() && text[i] == '-') {
        neg = true;
        ++i;
    }
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        v = v * 10 + (text[i] - '0');
        if (v > 0xFFFFFFFFll)
            break;
        ++i;
        ++digits;
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    *ok = digits > 0 && i == text.size() && v <= INT_MAX;
    if (!*ok)
        return 0;
    return static_cast<int>(neg ? -v : v);
}

} // namespace

Window* Window::child(int controlId) const {
    for (auto& c : children)
        if (c->id == controlId)
            return c.get();
    return nullptr;
}

Window* FromHandle(HWND hWnd) {
    auto* w = reinterpret_cast<Window*>(hWnd);
    std::lock_guard<std::mutex> lock(g_liveMutex);
    return g_live.count(w) ? w : nullptr;
}

void InstallUi(UiBackend* backend) { g_backend = backend; }
UiBackend* InstalledUi() { return g_backend; }

// ---------------------------------------------------------------------------------------------
// Input from the backends.

void DeliverClick(Window& control) {
    if (!control.enabled || !control.parent)
        return;
    if (control.kind == Kind::CheckBox && (control.style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
        control.check = control.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        Changed(control);
    }
    SendMessageA(control.parent->handle(), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(control.id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control.handle()));
}

void DeliverSelection(Window& list, int index) {
    if (!list.enabled || index < -1 || index >= static_cast<int>(list.items.size()))
        return;
    list.curSel = index;
    Changed(list);
    if ((list.style & LBS_NOTIFY) && list.parent)
        SendMessageA(list.parent->handle(), WM_COMMAND,
                     MAKEWPARAM(static_cast<WORD>(list.id), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list.handle()));
}

void DeliverText(Window& edit, const std::string& text) {
    std::string cut = text;
    if (edit.limitText && cut.size() > edit.limitText)
        cut.resize(edit.limitText);
    edit.text = cut;
    Changed(edit);
    if (edit.parent)
        SendMessageA(edit.parent->handle(), WM_COMMAND,
                     MAKEWPARAM(static_cast<WORD>(edit.id), EN_CHANGE),
                     reinterpret_cast<LPARAM>(edit.handle()));
}

void DeliverSpin(Window& updown, int delta) {
    Window* buddy = updown.buddy;
    if (!buddy || !updown.enabled)
        return;
    int low = std::min(updown.rangeLow, updown.rangeHigh);
    int high = std::max(updown.rangeLow, updown.rangeHigh);
    bool ok = false;
    long long pos = ReadInt(buddy->text, &ok);
    if (!ok)
        pos = low;
    // A reversed range (the default 100..0 of Windows) steps the other way.
    long long step = updown.rangeLow <= updown.rangeHigh ? delta : -delta;
    pos = std::clamp<long long>(pos + step, low, high);
    DeliverText(*buddy, std::to_string(pos));
}

void DeliverEnter(Window& dialog) {
    int id = IDOK;
    for (auto& c : dialog.children)
        if (c->kind == Kind::DefPushButton) {
            if (!c->enabled)
                return;
            id = c->id;
            break;
        }
    SendMessageA(dialog.handle(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0);
}

void DeliverEscape(Window& dialog) {
    SendMessageA(dialog.handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void DeliverClose(Window& dialog) {
    SendMessageA(dialog.handle(), WM_CLOSE, 0, 0);
}

void DeliverTimer(Window& window, UINT_PTR id) {
    if (window.timers.count(id))
        SendMessageA(window.handle(), WM_TIMER, id, 0);
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

using platform::ui::Kind;
using platform::ui::Window;

// ---------------------------------------------------------------------------------------------
// Window functions.

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
    CWnd temp;
    temp.m_hWnd = hWnd;
    LRESULT r = temp.DefWindowProc(Msg, wParam, lParam);
    temp.m_hWnd = nullptr;
    return r;
}

BOOL IsWindow(HWND hWnd) { return platform::ui::FromHandle(hWnd) != nullptr; }

int GetSystemMetrics(int nIndex) {
    return platform::ui::g_backend ? platform::ui::g_backend->GetSystemMetrics(nIndex) : 0;
}

// ---------------------------------------------------------------------------------------------
// Message maps.

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e)
            if (e->nMessage == nMessage && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID)
                return e;
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (!e)
        return FALSE;
    (this->*(e->pfn))();
    return TRUE;
}

namespace {
union MessageMapFunctions {
    AFX_PMSG pfn;
    void (CWnd::*pfn_timer)(UINT_PTR);
    BOOL (CWnd::*pfn_erase)(CDC*);
};
} // namespace

AFX_PMSG AfxMessageMapFunction(void (CWnd::*pfn)(UINT_PTR)) {
    MessageMapFunctions f;
    f.pfn_timer = pfn;
    return f.pfn;
}

AFX_PMSG AfxMessageMapFunction(BOOL (CWnd::*pfn)(CDC*)) {
    MessageMapFunctions f;
    f.pfn_erase = pfn;
    return f.pfn;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

// ---------------------------------------------------------------------------------------------
// CWnd.

struct AfxWindowAccess {
    static Window* Record(const CWnd* w) { return platform::ui::FromHandle(w->m_hWnd); }

    // Releases a dialog's record: objects made for its controls are deleted, the others are
    // detached.
    static void Forget(Window* dialog) {
        RemoveLiveAndDetach(dialog);
        delete dialog;
    }

    static void RemoveLiveAndDetach(Window* dialog) {
        platform::ui::RemoveLive(dialog);
        for (auto& child : dialog->children)
            DetachObject(child.get());
        DetachObject(dialog);
    }

    static void DetachObject(Window* w) {
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
};

CWnd::~CWnd() {
    if (m_hWnd)
        CWnd::DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    Window* w = platform::ui::FromHandle(hWnd);
    return w ? w->object : nullptr;
}

BOOL CWnd::DestroyWindow() {
    Window* w = AfxWindowAccess::Record(this);
    if (!w) {
        m_hWnd = nullptr;
        return FALSE;
    }
    if (w->kind == Kind::Dialog) {
        if (platform::ui::g_backend)
            platform::ui::g_backend->Unrealize(*w);
        AfxWindowAccess::Forget(w);
        return TRUE;
    }
    // A control: it disappears from its dialog and forgets its object.
    w->visible = false;
    platform::ui::Changed(*w);
    {
        std::lock_guard<std::mutex> lock(platform::ui::g_liveMutex);
        platform::ui::g_live.erase(w);
    }
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
    SetDlgItemText(nID, bSigned ? std::to_string(static_cast<int>(nValue)) : std::to_string(nValue));
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
    Window* w = AfxWindowAccess::Record(this);
    if (!w)
        return FALSE;
    BOOL was = w->visible ? TRUE : FALSE;
    w->visible = nCmdShow != SW_HIDE;
    platform::ui::Changed(*w);
    return was;
}

void CWnd::UpdateWindow() {
    Window* w = AfxWindowAccess::Record(this);
    if (w && platform::ui::g_backend)
        platform::ui::g_backend->Paint(*w);
}

void CWnd::Invalidate(BOOL) {
    if (Window* w = AfxWindowAccess::Record(this))
        platform::ui::Changed(*w);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w)
        return FALSE;
    BOOL wasDisabled = w->enabled ? FALSE : TRUE;
    w->enabled = bEnable != FALSE;
    platform::ui::Changed(*w);
    return wasDisabled;
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
        area = platform::ui::ScreenRect(*owner);
    } else {
        SIZE screen = platform::ui::g_backend ? platform::ui::g_backend->ScreenSize() : SIZE{0, 0};
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
    *lpRect = w ? platform::ui::ScreenRect(*w) : RECT{};
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w || nIDEvent == 0)
        return 0;
    w->timers[nIDEvent] = std::max<UINT>(nElapse, 10);
    if (platform::ui::g_backend)
        platform::ui::g_backend->TimersChanged(*w);
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w || !w->timers.erase(nIDEvent))
        return FALSE;
    if (platform::ui::g_backend)
        platform::ui::g_backend->TimersChanged(*w);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    if (OnCmdMsg(nID, nCode))
        return TRUE;
    // Commands no window handles go to the application object, as the framework routes them.
    if (nCode == 0 && AfxGetApp())
        return AfxGetApp()->OnCmdMsg(nID, 0);
    return FALSE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 1;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message, 0, 0);
    if (!e)
        return FALSE;
    MessageMapFunctions f;
    f.pfn = e->pfn;
    switch (e->nSig) {
    case AfxSig_vw:
        (this->*f.pfn_timer)(static_cast<UINT_PTR>(wParam));
        *pResult = 0;
        return TRUE;
    case AfxSig_bD:
        *pResult = (this->*f.pfn_erase)(reinterpret_cast<CDC*>(wParam));
        return TRUE;
    default:
        (this->*f.pfn)();
        *pResult = 0;
        return TRUE;
    }
}

void CWnd::OnTimer(UINT_PTR) {}
BOOL CWnd::OnEraseBkgnd(CDC*) { return FALSE; }
void CWnd::DoDataExchange(CDataExchange*) {}

namespace {

void CopyOut(const std::string& text, WPARAM room, LPARAM dest, LRESULT* copied) {
    auto* out = reinterpret_cast<char*>(dest);
    if (!out || room == 0) {
        *copied = 0;
        return;
    }
    size_t n = std::min<size_t>(text.size(), room - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    *copied = static_cast<LRESULT>(n);
}

} // namespace

// The built-in behaviour of the window classes: what Windows' own window procedures do.
LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w)
        return 0;
    LRESULT r = 0;
    switch (message) {
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        w->text = text ? text : "";
        platform::ui::Changed(*w);
        return TRUE;
    }
    case WM_GETTEXT:
        CopyOut(w->text, wParam, lParam, &r);
        return r;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
        if (w->kind == Kind::Dialog)
            SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    case BM_GETCHECK:
        return w->check;
    case BM_SETCHECK:
        w->check = static_cast<UINT>(wParam);
        platform::ui::Changed(*w);
        return 0;
    case BM_CLICK:
        platform::ui::DeliverClick(*w);
        return 0;
    case EM_LIMITTEXT:
        w->limitText = static_cast<UINT>(wParam);
        platform::ui::Changed(*w);
        return 0;
    case LB_ADDSTRING: {
        const char* text = reinterpret_cast<const char*>(lParam);
        std::string item = text ? text : "";
        size_t at = w->items.size();
        if (w->style & LBS_SORT) {
            auto it = std::upper_bound(w->items.begin(), w->items.end(), item,
                                       [](const std::string& a, const std::string& b) {
                                           return platform::ui::CompareNoCase(a, b) < 0;
                                       });
            at = static_cast<size_t>(it - w->items.begin());
        }
        w->items.insert(w->items.begin() + static_cast<std::ptrdiff_t>(at), item);
        if (w->curSel >= static_cast<int>(at))
            ++w->curSel;
        platform::ui::Changed(*w);
        return static_cast<LRESULT>(at);
    }
    case LB_RESETCONTENT:
        w->items.clear();
        w->curSel = -1;
        platform::ui::Changed(*w);
        return 0;
    case LB_GETCOUNT:
        return static_cast<LRESULT>(w->items.size());
    case LB_GETCURSEL:
        return w->curSel;
    case LB_SETCURSEL: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        bool valid = index >= 0 && index < static_cast<int>(w->items.size());
        w->curSel = valid ? index : -1;
        platform::ui::Changed(*w);
        return valid ? index : LB_ERR;
    }
    case LB_GETTEXT: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(w->items.size()))
            return LB_ERR;
        const std::string& item = w->items[static_cast<size_t>(index)];
        char* out = reinterpret_cast<char*>(lParam);
        if (out) {
            std::memcpy(out, item.c_str(), item.size() + 1);
        }
        return static_cast<LRESULT>(item.size());
    }
    case LB_GETTEXTLEN: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(w->items.size()))
            return LB_ERR;
        return static_cast<LRESULT>(w->items[static_cast<size_t>(index)].size());
    }
    case LB_FINDSTRINGEXACT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        for (size_t i = 0; text && i < w->items.size(); ++i)
            if (platform::ui::CompareNoCase(w->items[i], text) == 0)
                return static_cast<LRESULT>(i);
        return LB_ERR;
    }
    case UDM_SETRANGE:
        // Two 16-bit halves: maximum in the low word, minimum in the high word.
        w->rangeHigh = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam)));
        w->rangeLow = static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lParam)));
        platform::ui::Changed(*w);
        return 0;
    case UDM_SETRANGE32:
        w->rangeLow = static_cast<int>(static_cast<INT_PTR>(wParam));
        w->rangeHigh = static_cast<int>(lParam);
        platform::ui::Changed(*w);
        return 0;
    case UDM_GETRANGE32:
        if (wParam)
            *reinterpret_cast<int*>(wParam) = w->rangeLow;
        if (lParam)
            *reinterpret_cast<int*>(lParam) = w->rangeHigh;
        return 0;
    case UDM_GETRANGE:
        return MAKELPARAM(static_cast<WORD>(w->rangeHigh), static_cast<WORD>(w->rangeLow));
    case UDM_SETBUDDY: {
        Window* old = w->buddy;
        w->buddy = platform::ui::FromHandle(reinterpret_cast<HWND>(wParam));
        return reinterpret_cast<LRESULT>(old ? old->handle() : nullptr);
    }
    default:
        return 0;
    }
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

// ---------------------------------------------------------------------------------------------
// CDialog.

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (m_hWnd)
        CWnd::DestroyWindow();
}

BOOL CDialog::CreateFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool modal) {
    using namespace platform::ui;
    const DialogTemplate* t = FindDialogTemplate(nIDTemplate);
    if (!t || !g_backend || m_hWnd)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;

    auto dialog = std::make_unique<Window>();
    Window* dlg = dialog.get();
    dlg->kind = Kind::Dialog;
    dlg->id = static_cast<int>(nIDTemplate);
    dlg->style = t->style;
    dlg->text = t->caption;
    dlg->dialogTemplate = t;
    dlg->modal = modal;
    dlg->parent = pParentWnd ? AfxWindowAccess::Record(pParentWnd) : nullptr;
    dlg->baseUnits = g_backend->DialogBaseUnits(t->fontName, t->fontPoints);
    const LONG bx = dlg->baseUnits.cx, by = dlg->baseUnits.cy;
    // Rounded to the nearest pixel, as Windows' MulDiv does in MapDialogRect.
    auto px = [bx](int du) { return static_cast<LONG>((du * bx + 2) / 4); };
    auto py = [by](int du) { return static_cast<LONG>((du * by + 4) / 8); };
    LONG width = px(t->cx), height = py(t->cy);
    dlg->rect = {0, 0, width, height};

    Window* previous = nullptr;
    for (const ControlTemplate& c : t->controls) {
        auto control = std::make_unique<Window>();
        control->kind = KindOf(c);
        control->id = c.id;
        control->style = c.style;
        control->text = c.text;
        control->rect = {px(c.x), py(c.y), px(c.x) + px(c.cx), py(c.y) + py(c.cy)};
        control->parent = dlg;
        control->enabled = !(c.style & WS_DISABLED);
        control->visible = true;
        control->iconId = c.iconId;
        if (control->kind == Kind::UpDown && (c.style & UDS_AUTOBUDDY))
            control->buddy = previous;
        if (control->kind == Kind::UpDown && control->buddy && (c.style & UDS_ALIGNRIGHT)) {
            // As Windows does: the arrows take the right end of the edit, which narrows by
            // their width, and they span the edit's height.
            RECT& edit = control->buddy->rect;
            LONG arrows = control->rect.right - control->rect.left;
            edit.right = std::max(edit.left, edit.right - arrows);
            control->rect = {edit.right, edit.top, edit.right + arrows, edit.bottom};
        }
        previous = control.get();
        dlg->children.push_back(std::move(control));
    }

    dialog.release();
    AddLive(dlg);
    dlg->object = this;
    m_hWnd = dlg->handle();
    for (auto& child : dlg->children) {
        CWnd* obj = NewControlObject(child->kind);
        obj->m_bAutoObject = true;
        obj->m_hWnd = child->handle();
        child->object = obj;
    }

    // Placed before the system's initialisation, which may centre it again.
    CenterWindow();
    g_backend->Realize(*dlg);
    OnInitDialog();
    if (m_hWnd && (t->style & WS_VISIBLE) && !dlg->ended) {
        dlg->visible = true;
        Changed(*dlg);
    }
    return TRUE;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    return CreateFromTemplate(nIDTemplate, pParentWnd, false);
}

INT_PTR CDialog::DoModal() {
    if (!CreateFromTemplate(m_nIDTemplate, m_pParentWnd, true))
        return -1;
    Window* dlg = AfxWindowAccess::Record(this);
    CWnd* owner = m_pParentWnd;
    BOOL ownerWasEnabled = owner && owner->IsWindowEnabled();
    if (ownerWasEnabled)
        owner->EnableWindow(FALSE);
    if (dlg && !dlg->ended) {
        dlg->visible = true;
        platform::ui::Changed(*dlg);
        platform::ui::g_backend->RunModalLoop(*dlg);
    }
    dlg = AfxWindowAccess::Record(this);
    INT_PTR result = dlg ? dlg->result : -1;
    if (ownerWasEnabled && owner->m_hWnd)
        owner->EnableWindow(TRUE);
    if (m_hWnd)
        CWnd::DestroyWindow();
    return result;
}

void CDialog::EndDialog(int nResult) {
    Window* w = AfxWindowAccess::Record(this);
    if (!w)
        return;
    w->ended = true;
    w->result = nResult;
    if (!w->modal) {
        w->visible = false;
        platform::ui::Changed(*w);
    }
    if (platform::ui::g_backend)
        platform::ui::g_backend->Wake();
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange(nullptr);
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// ---------------------------------------------------------------------------------------------
// Controls.

UINT CButton::GetCheck() const { return static_cast<UINT>(SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
void CButton::SetCheck(UINT nCheck) { SendMessageA(m_hWnd, BM_SETCHECK, nCheck, 0); }
void CButton::DrawItem(DRAWITEMSTRUCT*) {}

int CListBox::AddString(const std::string& item) {
    return static_cast<int>(
        SendMessageA(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())));
}
int CListBox::GetCount() const { return static_cast<int>(SendMessageA(m_hWnd, LB_GETCOUNT, 0, 0)); }
int CListBox::GetCurSel() const {
    return static_cast<int>(SendMessageA(m_hWnd, LB_GETCURSEL, 0, 0));
}
int CListBox::SetCurSel(int nSelect) {
    return static_cast<int>(SendMessageA(m_hWnd, LB_SETCURSEL, static_cast<WPARAM>(nSelect), 0));
}
int CListBox::GetText(int nIndex, std::string& text) const {
    int len = GetTextLen(nIndex);
    if (len == LB_ERR) {
        text.clear();
        return LB_ERR;
    }
    text.assign(static_cast<size_t>(len) + 1, '\0');
    SendMessageA(m_hWnd, LB_GETTEXT, static_cast<WPARAM>(nIndex),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(len));
    return len;
}
int CListBox::GetTextLen(int nIndex) const {
    return static_cast<int>(SendMessageA(m_hWnd, LB_GETTEXTLEN, static_cast<WPARAM>(nIndex), 0));
}

void CEdit::SetLimitText(UINT nMax) { SendMessageA(m_hWnd, EM_LIMITTEXT, nMax, 0); }
UINT CEdit::GetLimitText() const {
    Window* w = AfxWindowAccess::Record(this);
    return w ? w->limitText : 0;
}
