// CDialog over the system's dialog manager, and the one dialog procedure that hands the
// messages of every dialog to its object's message map.
#include "WindowMap.h"

#include <commctrl.h>

#include <mutex>

namespace platform::ui::win32 {
namespace {

// The up-down control is comctl32's: its class must be registered before a template names it.
void RegisterCommonControls() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_UPDOWN_CLASS};
        ::InitCommonControlsEx(&icc);
    });
}

BOOL InitDialog(HWND hDlg, CDialog* dlg) {
    Attach(hDlg, dlg, nullptr, hDlg);
    AttachControlObjects(hDlg);
    if (const DialogTemplate* t = FindDialogTemplate(dlg->GetTemplateId()))
        ShowTemplateIcons(hDlg, *t);
    // Centred first, as the framework places every dialog; OnInitDialog may move it again.
    dlg->CenterWindow();
    return dlg->OnInitDialog();
}

// An owner-draw control's paint request goes to its own object.
BOOL DrawItem(const DRAWITEMSTRUCT* item) {
    auto* button = item && item->CtlType == ODT_BUTTON
                       ? dynamic_cast<CButton*>(Lookup(item->hwndItem))
                       : nullptr;
    if (!button)
        return FALSE;
    button->DrawItem(const_cast<DRAWITEMSTRUCT*>(item));
    return TRUE;
}

INT_PTR Answer(HWND hDlg, LRESULT result) {
    ::SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, result);
    return TRUE;
}

} // namespace

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        return InitDialog(hDlg, reinterpret_cast<CDialog*>(lParam));
    CWnd* obj = Lookup(hDlg);
    if (!obj)
        return FALSE;
    switch (message) {
    case WM_DRAWITEM:
        return DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_HELP:
        // F1 asks for the About box, as it does in every dialog of the program.
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT, 0), 0);
        return TRUE;
    case WM_NCDESTROY:
        ForgetControlsOf(hDlg);
        Forget(hDlg);
        return FALSE;
    default:
        break;
    }
    LRESULT result = 0;
    if (obj->OnWndMsg(message, wParam, lParam, &result))
        return Answer(hDlg, result);
    return static_cast<INT_PTR>(obj->DefWindowProc(message, wParam, lParam));
}

} // namespace platform::ui::win32

namespace w32 = platform::ui::win32;

namespace {

// The in-memory template of a dialog of the resources; empty when there is none.
std::vector<WORD> TemplateBytes(UINT nIDTemplate) {
    const platform::ui::DialogTemplate* t = platform::ui::FindDialogTemplate(nIDTemplate);
    if (!t)
        return {};
    w32::RegisterCommonControls();
    return w32::MakeDialogTemplate(*t);
}

LPCDLGTEMPLATEA AsTemplate(const std::vector<WORD>& bytes) {
    return reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data());
}

} // namespace

// Modeless only: a modal dialog is the system's DialogBox (DoModal).
BOOL CDialog::CreateFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool) {
    const std::vector<WORD> bytes = TemplateBytes(nIDTemplate);
    if (bytes.empty() || m_hWnd)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    HWND owner = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    return ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), AsTemplate(bytes), owner,
                                        &w32::DialogProc, reinterpret_cast<LPARAM>(this))
               ? TRUE
               : FALSE;
}

INT_PTR CDialog::DoModal() {
    const std::vector<WORD> bytes = TemplateBytes(m_nIDTemplate);
    if (bytes.empty() || m_hWnd)
        return -1;
    // A modal dialog without a parent is owned by this thread's active window, which it
    // disables while it runs.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : ::GetActiveWindow();
    return ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), AsTemplate(bytes), owner,
                                     &w32::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int nResult) {
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);
}
