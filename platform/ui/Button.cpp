// The BUTTON class: push buttons, check boxes and owner-draw buttons (CButton is in Controls.cpp).
#include "Framework.h"

namespace platform::ui {

namespace {

UINT DialogCodeOf(const Window& w) {
    if (w.kind != Kind::PushButton)
        return DLGC_BUTTON;
    const ButtonState* b = w.As<ButtonState>();
    return DLGC_BUTTON | (b && b->isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

void SetStyle(Window& w, DWORD style) {
    w.style = (w.style & ~0xFFFFu) | (style & 0xFFFFu);
    if (ButtonState* b = w.As<ButtonState>(); b && w.kind == Kind::PushButton)
        b->isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    Changed(w);
}

} // namespace

LRESULT ButtonProc(Window& w, ButtonState& b, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case BM_GETCHECK:
        return b.check;
    case BM_SETCHECK:
        b.check = static_cast<UINT>(wParam);
        Changed(w);
        return 0;
    case BM_SETSTYLE:
        SetStyle(w, static_cast<DWORD>(wParam));
        return 0;
    case BM_CLICK:
        DeliverClick(w);
        return 0;
    case WM_GETDLGCODE:
        return DialogCodeOf(w);
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && w.kind != Kind::OwnerDrawButton)
            DeliverClick(w);
        return 0;
    default:
        return DefaultProc(w, message, wParam, lParam);
    }
}

void DeliverClick(Window& control) {
    if (!control.enabled || !control.parent)
        return;
    ButtonState* b = control.As<ButtonState>();
    if (b && control.kind == Kind::CheckBox && (control.style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
        b->check = b->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        Changed(control);
    }
    NotifyParent(control, BN_CLICKED);
}

} // namespace platform::ui
