// The control classes' methods: each is one message to the control's window.
#include "platform/afxwin.h"

UINT CButton::GetCheck() const {
    return static_cast<UINT>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0));
}
void CButton::SetCheck(UINT nCheck) {
    ::SendMessageA(m_hWnd, BM_SETCHECK, nCheck, 0);
}
void CButton::DrawItem(DRAWITEMSTRUCT*) {}

int CListBox::AddString(const std::string& item) {
    return static_cast<int>(
        ::SendMessageA(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())));
}
int CListBox::GetCount() const {
    return static_cast<int>(::SendMessageA(m_hWnd, LB_GETCOUNT, 0, 0));
}
int CListBox::GetCurSel() const {
    return static_cast<int>(::SendMessageA(m_hWnd, LB_GETCURSEL, 0, 0));
}
int CListBox::SetCurSel(int nSelect) {
    return static_cast<int>(::SendMessageA(m_hWnd, LB_SETCURSEL, static_cast<WPARAM>(nSelect), 0));
}
int CListBox::GetText(int nIndex, std::string& text) const {
    int len = GetTextLen(nIndex);
    if (len == LB_ERR) {
        text.clear();
        return LB_ERR;
    }
    text.assign(static_cast<size_t>(len) + 1, '\0');
    ::SendMessageA(m_hWnd, LB_GETTEXT, static_cast<WPARAM>(nIndex),
                   reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(len));
    return len;
}
int CListBox::GetTextLen(int nIndex) const {
    return static_cast<int>(::SendMessageA(m_hWnd, LB_GETTEXTLEN, static_cast<WPARAM>(nIndex), 0));
}

void CEdit::SetLimitText(UINT nMax) {
    ::SendMessageA(m_hWnd, EM_LIMITTEXT, nMax, 0);
}
