// The EDIT class (single line) and CEdit's limit. The backend does the editing itself and reports
// the text; the framework keeps the limit, the selection the program asks for, and the arrow keys
// that an up-down control takes from its buddy.
#include "Framework.h"

namespace platform::ui {

LRESULT EditProc(Window& w, EditState& e, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case EM_LIMITTEXT:
        e.limitText = static_cast<UINT>(wParam);
        Changed(w);
        return 0;
    case EM_GETLIMITTEXT:
        return e.limitText ? e.limitText : 0x7FFFFFFE;
    case EM_SETSEL:
        e.selStart = static_cast<int>(static_cast<INT_PTR>(wParam));
        e.selEnd = static_cast<int>(lParam);
        ++e.selSerial;
        Changed(w);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_KEYDOWN:
        // An up-down control with UDS_ARROWKEYS steps its number on Up and Down.
        if (wParam == VK_UP || wParam == VK_DOWN) {
            if (Window* updown = ArrowKeysUpDownOf(w)) {
                StepUpDown(*updown, wParam == VK_UP ? 1 : -1);
                return 0;
            }
        }
        return 0;
    default:
        return DefaultProc(w, message, wParam, lParam);
    }
}

void DeliverText(Window& edit, const std::string& text) {
    std::string cut = text;
    if (const EditState* e = edit.As<EditState>(); e && e->limitText && cut.size() > e->limitText)
        cut.resize(e->limitText);
    edit.text = cut;
    Changed(edit);
    NotifyParent(edit, EN_CHANGE);
}

} // namespace platform::ui

UINT CEdit::GetLimitText() const {
    const platform::ui::Window* w = AfxWindowAccess::Record(this);
    const platform::ui::EditState* e = w ? w->As<platform::ui::EditState>() : nullptr;
    return e ? e->limitText : 0;
}
