// The LISTBOX class (single selection) (CListBox is in Controls.cpp). The keys move the selection
// as on Windows: Up, Down, Home, End, Page Up and Page Down, and a typed character selects the next
// item that begins with it; each change of the selection by the user is notified once.
#include "Framework.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform::ui {

namespace {

bool IsItem(const ListBoxState& l, WPARAM index) {
    const auto i = static_cast<INT_PTR>(index);
    return i >= 0 && i < static_cast<INT_PTR>(l.items.size());
}

LRESULT AddString(Window& w, ListBoxState& l, const char* text) {
    std::string item = text ? text : "";
    size_t at = l.items.size();
    if (w.style & LBS_SORT) {
        auto it = std::upper_bound(
            l.items.begin(), l.items.end(), item,
            [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
        at = static_cast<size_t>(it - l.items.begin());
    }
    l.items.insert(l.items.begin() + static_cast<std::ptrdiff_t>(at), item);
    if (l.curSel >= static_cast<int>(at))
        ++l.curSel;
    Changed(w);
    return static_cast<LRESULT>(at);
}

// The first item from just after `after` on (wrapping round) that equals the text, or begins
// with it; LB_ERR for none.
LRESULT FindString(const ListBoxState& l, INT_PTR after, const char* text, bool exact) {
    const int count = static_cast<int>(l.items.size());
    if (!text || count == 0)
        return LB_ERR;
    const std::string wanted = text;
    const int start = after >= 0 && after < count ? static_cast<int>(after) + 1 : 0;
    for (int k = 0; k < count; ++k) {
        const int i = (start + k) % count;
        const std::string& item = l.items[static_cast<size_t>(i)];
        const std::string head = exact ? item : item.substr(0, wanted.size());
        if (CompareNoCase(head, wanted) == 0)
            return i;
    }
    return LB_ERR;
}

// The selection as the user moves it: notified when it changed.
void SelectByUser(Window& w, ListBoxState& l, int index) {
    if (index < 0 || index >= static_cast<int>(l.items.size()) || index == l.curSel)
        return;
    l.curSel = index;
    Changed(w);
    if (w.style & LBS_NOTIFY)
        NotifyParent(w, LBN_SELCHANGE);
}

// Items that fit in the list at once, inside its border.
int PageSize(const Window& w, const ListBoxState& l) {
    const int border = (w.style & WS_BORDER) ? 2 : 0;
    const int height = static_cast<int>(w.rect.bottom - w.rect.top) - 2 * border;
    return std::max(1, height / std::max(1, l.itemHeight));
}

void KeyDown(Window& w, ListBoxState& l, UINT vk) {
    const int last = static_cast<int>(l.items.size()) - 1;
    if (last < 0)
        return;
    const int cur = l.curSel;
    const int page = std::max(1, PageSize(w, l) - 1);
    int next = cur;
    switch (vk) {
    case VK_UP:
        next = cur < 0 ? 0 : cur - 1;
        break;
    case VK_DOWN:
        next = cur < 0 ? 0 : cur + 1;
        break;
    case VK_HOME:
        next = 0;
        break;
    case VK_END:
        next = last;
        break;
    case VK_PRIOR:
        next = cur < 0 ? 0 : cur - page;
        break;
    case VK_NEXT:
        next = cur < 0 ? 0 : cur + page;
        break;
    default:
        return;
    }
    SelectByUser(w, l, std::clamp(next, 0, last));
}

void TypeAhead(Window& w, ListBoxState& l, char ch) {
    if (static_cast<unsigned char>(ch) < 0x20)
        return;
    const char text[2] = {ch, '\0'};
    const LRESULT found = FindString(l, l.curSel, text, false);
    if (found != LB_ERR)
        SelectByUser(w, l, static_cast<int>(found));
}

LRESULT GetText(const ListBoxState& l, WPARAM index, LPARAM dest) {
    if (!IsItem(l, index))
        return LB_ERR;
    const std::string& item = l.items[index];
    if (char* out = reinterpret_cast<char*>(dest))
        std::memcpy(out, item.c_str(), item.size() + 1);
    return static_cast<LRESULT>(item.size());
}

LRESULT SetCurSel(Window& w, ListBoxState& l, WPARAM index) {
    const bool valid = IsItem(l, index);
    l.curSel = valid ? static_cast<int>(index) : -1;
    Changed(w);
    return valid ? static_cast<LRESULT>(index) : LB_ERR;
}

} // namespace

LRESULT ListBoxProc(Window& w, ListBoxState& l, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LB_ADDSTRING:
        return AddString(w, l, reinterpret_cast<const char*>(lParam));
    case LB_RESETCONTENT:
        l.items.clear();
        l.curSel = -1;
        Changed(w);
        return 0;
    case LB_GETCOUNT:
        return static_cast<LRESULT>(l.items.size());
    case LB_GETCURSEL:
        return l.curSel;
    case LB_SETCURSEL: // from the program: no notification
        return SetCurSel(w, l, wParam);
    case LB_GETTEXT:
        return GetText(l, wParam, lParam);
    case LB_GETTEXTLEN:
        return IsItem(l, wParam) ? static_cast<LRESULT>(l.items[wParam].size()) : LB_ERR;
    case LB_FINDSTRINGEXACT:
    case LB_FINDSTRING:
        return FindString(l, static_cast<INT_PTR>(wParam), reinterpret_cast<const char*>(lParam),
                          message == LB_FINDSTRINGEXACT);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        KeyDown(w, l, static_cast<UINT>(wParam));
        return 0;
    case WM_CHAR:
        TypeAhead(w, l, static_cast<char>(wParam));
        return 0;
    default:
        return DefaultProc(w, message, wParam, lParam);
    }
}

void DeliverSelection(Window& list, int index) {
    ListBoxState* l = list.As<ListBoxState>();
    if (!l || !list.enabled || index < -1 || index >= static_cast<int>(l->items.size()))
        return;
    l->curSel = index;
    Changed(list);
    if (list.style & LBS_NOTIFY)
        NotifyParent(list, LBN_SELCHANGE);
}

} // namespace platform::ui
