// The dialog class and CDialog: records made from a template, modal and modeless runs, and the
// dialog's own procedure (the close box, the default button id, WM_NEXTDLGCTL).
#include "Framework.h"

#include <algorithm>

namespace platform::ui {

namespace {

struct DialogUnits {
    LONG bx, by;
    // Rounded to the nearest pixel, as Windows' MulDiv does in MapDialogRect.
    LONG X(int du) const { return static_cast<LONG>((du * bx + 2) / 4); }
    LONG Y(int du) const { return static_cast<LONG>((du * by + 4) / 8); }
};

std::unique_ptr<Window> MakeControl(const ControlTemplate& c, Window* dlg, const DialogUnits& u) {
    auto control = std::make_unique<Window>();
    control->kind = KindOf(c);
    control->id = c.id;
    control->style = c.style;
    control->text = c.text;
    control->rect = {u.X(c.x), u.Y(c.y), u.X(c.x) + u.X(c.cx), u.Y(c.y) + u.Y(c.cy)};
    control->parent = dlg;
    control->enabled = !(c.style & WS_DISABLED);
    control->visible = true;
    InitClassState(*control, c);
    if (ListBoxState* l = control->As<ListBoxState>())
        l->itemHeight = static_cast<int>(u.by);
    return control;
}

// As Windows does for UDS_AUTOBUDDY: the up-down takes the control before it as its buddy; with
// UDS_ALIGNRIGHT the arrows take the right end of the edit, which narrows by their width, and
// they span the edit's height.
void AttachBuddy(Window& updown, Window* previous) {
    UpDownState* u = updown.As<UpDownState>();
    if (!u || !previous || !(updown.style & UDS_AUTOBUDDY))
        return;
    u->buddy = previous;
    if (!(updown.style & UDS_ALIGNRIGHT))
        return;
    RECT& edit = previous->rect;
    const LONG arrows = updown.rect.right - updown.rect.left;
    edit.right = std::max(edit.left, edit.right - arrows);
    updown.rect = {edit.right, edit.top, edit.right + arrows, edit.bottom};
}

std::unique_ptr<Window> MakeDialog(const DialogTemplate& t, Window* parent, bool modal,
                                   SIZE baseUnits) {
    auto dialog = std::make_unique<Window>();
    Window* dlg = dialog.get();
    dlg->kind = Kind::Dialog;
    dlg->id = static_cast<int>(t.id);
    dlg->style = t.style;
    dlg->text = t.caption;
    dlg->parent = parent;
    DialogState state;
    state.dialogTemplate = &t;
    state.modal = modal;
    state.baseUnits = baseUnits;
    const DialogUnits u{baseUnits.cx, baseUnits.cy};
    dlg->rect = {0, 0, u.X(t.cx), u.Y(t.cy)};
    Window* previous = nullptr;
    for (const ControlTemplate& c : t.controls) {
        auto control = MakeControl(c, dlg, u);
        AttachBuddy(*control, previous);
        if (const ButtonState* b = control->As<ButtonState>(); b && b->isDefault && !state.defId)
            state.defId = control->id;
        previous = control.get();
        dlg->children.push_back(std::move(control));
    }
    dlg->state = state;
    return dialog;
}

LRESULT NextDialogControl(Window& dialog, WPARAM wParam, LPARAM lParam) {
    if (lParam) {
        SetDialogFocus(dialog, FromHandle(reinterpret_cast<HWND>(wParam)), true);
        return 0;
    }
    HandleDialogKey(dialog, VK_TAB, wParam ? kKeyShift : 0, '\t');
    return 0;
}

} // namespace

LRESULT DialogProc(Window& w, DialogState& d, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        SendMessageA(w.handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    case DM_GETDEFID:
        return d.defId ? MAKELPARAM(static_cast<WORD>(d.defId), DC_HASDEFID) : 0;
    case DM_SETDEFID:
        d.defId = static_cast<int>(wParam);
        for (auto& c : w.children)
            if (c->kind == Kind::PushButton)
                SendMessageA(c->handle(), BM_SETSTYLE,
                             c->id == d.defId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        return TRUE;
    case WM_NEXTDLGCTL:
        return NextDialogControl(w, wParam, lParam);
    default:
        return DefaultProc(w, message, wParam, lParam);
    }
}

} // namespace platform::ui

using platform::ui::DialogState;
using platform::ui::Window;

void AfxWindowAccess::AttachAutoObject(Window* control) {
    CWnd* obj = nullptr;
    switch (control->kind) {
    case platform::ui::Kind::PushButton:
    case platform::ui::Kind::CheckBox:
    case platform::ui::Kind::GroupBox:
    case platform::ui::Kind::OwnerDrawButton:
        obj = new CButton;
        break;
    case platform::ui::Kind::ListBox:
        obj = new CListBox;
        break;
    case platform::ui::Kind::Edit:
        obj = new CEdit;
        break;
    case platform::ui::Kind::Static:
    case platform::ui::Kind::Icon:
    case platform::ui::Kind::BlackRect:
        obj = new CStatic;
        break;
    default:
        obj = new CWnd;
        break;
    }
    obj->m_bAutoObject = true;
    obj->m_hWnd = control->handle();
    control->object = obj;
}

BOOL CDialog::CreateFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool modal) {
    using namespace platform::ui;
    const DialogTemplate* t = FindDialogTemplate(nIDTemplate);
    UiBackend* backend = Backend();
    if (!t || !backend || m_hWnd)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    Window* parent = pParentWnd ? AfxWindowAccess::Record(pParentWnd) : nullptr;
    Window* dlg =
        MakeDialog(*t, parent, modal, backend->DialogBaseUnits(t->fontName, t->fontPoints))
            .release();
    AddLive(dlg);
    dlg->object = this;
    m_hWnd = dlg->handle();
    for (auto& child : dlg->children)
        AfxWindowAccess::AttachAutoObject(child.get());

    // Placed before the system's initialisation, which may centre it again.
    CenterWindow();
    backend->Realize(*dlg);
    if (OnInitDialog() && m_hWnd)
        SetInitialFocus(*dlg);
    if (m_hWnd && (t->style & WS_VISIBLE) && !HasEnded(*dlg)) {
        dlg->visible = true;
        Changed(*dlg);
    }
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    if (!CreateFromTemplate(m_nIDTemplate, m_pParentWnd, true))
        return -1;
    Window* dlg = AfxWindowAccess::Record(this);
    CWnd* owner = m_pParentWnd;
    BOOL ownerWasEnabled = owner && owner->IsWindowEnabled();
    if (ownerWasEnabled)
        owner->EnableWindow(FALSE);
    if (dlg && !platform::ui::HasEnded(*dlg)) {
        dlg->visible = true;
        platform::ui::Changed(*dlg);
        platform::ui::Backend()->RunModalLoop(*dlg);
    }
    dlg = AfxWindowAccess::Record(this);
    INT_PTR result = dlg ? dlg->As<DialogState>()->result : -1;
    if (ownerWasEnabled && owner->m_hWnd)
        owner->EnableWindow(TRUE);
    if (m_hWnd)
        CWnd::DestroyWindow();
    return result;
}

void CDialog::EndDialog(int nResult) {
    Window* w = AfxWindowAccess::Record(this);
    DialogState* d = w ? w->As<DialogState>() : nullptr;
    if (!d)
        return;
    d->ended = true;
    d->result = nResult;
    if (!d->modal) {
        w->visible = false;
        platform::ui::Changed(*w);
    }
    if (platform::ui::Backend())
        platform::ui::Backend()->Wake();
}
