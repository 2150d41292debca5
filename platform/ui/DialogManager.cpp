// The dialog manager: what the keys do in a dialog, the same for every backend, as Windows'
// IsDialogMessage and the dialog's own procedure do it.
//
// - Tab and Shift+Tab move the focus along the tab stops; the arrow keys move it within the
//   group (WS_GROUP starts one) unless the control with the focus wants them (edits, lists).
// - Enter presses the push button with the focus, else the default push button (nothing when
//   that is disabled), else sends IDOK. Escape sends IDCANCEL; F1 sends ID_APP_ABOUT.
// - Alt with a letter or digit, or the letter alone where the focus takes no characters, is a
//   mnemonic: a label or group box hands the focus to the next control that takes it, a check
//   box takes the focus and is clicked, a push button is clicked. When several captions share
//   the letter, each press moves the focus to the next of them and nothing is clicked.
// - Whatever the dialog manager leaves goes to the control with the focus.
#include "Framework.h"
#include "platform/ascii.h"

#include <cctype>
#include <vector>

namespace platform::ui {

namespace {

DialogState* StateOf(Window& dialog) {
    return dialog.As<DialogState>();
}

UINT DialogCode(Window* control, UINT vk) {
    return control ? static_cast<UINT>(SendMessageA(control->handle(), WM_GETDLGCODE, vk, 0)) : 0;
}

void SendCommand(Window& dialog, int id, Window* control) {
    SendMessageA(dialog.handle(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control ? control->handle() : nullptr));
}

int IndexOf(const Window& dialog, const Window* control) {
    for (size_t i = 0; i < dialog.children.size(); ++i)
        if (dialog.children[i].get() == control)
            return static_cast<int>(i);
    return -1;
}

// The default frame follows the focus onto a push button, and back to the dialog's default
// button when the focus goes elsewhere.
void MoveDefaultFrame(Window& dialog, const Window* focus) {
    const DialogState* d = StateOf(dialog);
    const bool onButton = focus && focus->kind == Kind::PushButton;
    for (auto& c : dialog.children) {
        const ButtonState* b = c->As<ButtonState>();
        if (!b || c->kind != Kind::PushButton)
            continue;
        const bool wanted = onButton ? c.get() == focus : c->id == d->defId;
        if (b->isDefault != wanted)
            SendMessageA(c->handle(), BM_SETSTYLE, wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

// The next control from `from` on (wrapping round, `from` itself last) that passes the test,
// within children [begin, end); null for none.
template <typename Test>
Window* NextControl(Window& dialog, int from, int begin, int end, bool backwards, Test test) {
    const int count = end - begin;
    if (count <= 0)
        return nullptr;
    for (int k = 1; k <= count; ++k) {
        const int step = backwards ? -k : k;
        const int i = begin + ((from - begin + step) % count + count) % count;
        Window* c = dialog.children[static_cast<size_t>(i)].get();
        if (test(*c))
            return c;
    }
    return nullptr;
}

void MoveTab(Window& dialog, bool backwards) {
    const int count = static_cast<int>(dialog.children.size());
    int from = IndexOf(dialog, StateOf(dialog)->focus);
    if (from < 0)
        from = backwards ? 0 : count - 1;
    Window* next = NextControl(dialog, from, 0, count, backwards, [](const Window& c) {
        return TakesFocus(c) && (c.style & WS_TABSTOP);
    });
    if (next)
        SetDialogFocus(dialog, next, true);
}

void MoveInGroup(Window& dialog, bool backwards) {
    const int from = IndexOf(dialog, StateOf(dialog)->focus);
    if (from < 0)
        return;
    const int count = static_cast<int>(dialog.children.size());
    int begin = from, end = from + 1;
    while (begin > 0 && !(dialog.children[static_cast<size_t>(begin)]->style & WS_GROUP))
        --begin;
    while (end < count && !(dialog.children[static_cast<size_t>(end)]->style & WS_GROUP))
        ++end;
    Window* next = NextControl(dialog, from, begin, end, backwards, TakesFocus);
    if (next)
        SetDialogFocus(dialog, next, true);
}

void PressEnter(Window& dialog) {
    Window* focus = StateOf(dialog)->focus;
    if (focus && focus->kind == Kind::PushButton &&
        (DialogCode(focus, VK_RETURN) & DLGC_DEFPUSHBUTTON)) {
        SendCommand(dialog, focus->id, focus);
        return;
    }
    const LRESULT def = SendMessageA(dialog.handle(), DM_GETDEFID, 0, 0);
    if (HIWORD(static_cast<ULONG_PTR>(def)) != DC_HASDEFID) {
        SendCommand(dialog, IDOK, dialog.child(IDOK));
        return;
    }
    const int id = LOWORD(static_cast<ULONG_PTR>(def));
    Window* button = dialog.child(id);
    if (!button || button->enabled)
        SendCommand(dialog, id, button);
}

// A caption's mnemonic and the control that takes the focus for it.
struct Candidate {
    Window* control;
    Window* target;
};

bool HasMnemonicCaption(const Window& c) {
    switch (c.kind) {
    case Kind::PushButton:
    case Kind::CheckBox:
    case Kind::GroupBox:
        return true;
    case Kind::Static:
        return !(c.style & SS_NOPREFIX);
    default:
        return false;
    }
}

std::vector<Candidate> MnemonicCandidates(Window& dialog, char key) {
    std::vector<Candidate> found;
    const int count = static_cast<int>(dialog.children.size());
    for (int k = 0; k < count; ++k) {
        Window& c = *dialog.children[static_cast<size_t>(k)];
        if (!c.visible || !HasMnemonicCaption(c) || MnemonicOf(c.text) != key)
            continue;
        if (c.kind == Kind::Static || c.kind == Kind::GroupBox) {
            // A label hands the focus on to the next control that can take it.
            for (int j = k + 1; j < count; ++j) {
                Window* next = dialog.children[static_cast<size_t>(j)].get();
                if (TakesFocus(*next)) {
                    found.push_back({&c, next});
                    break;
                }
            }
        } else if (c.enabled) {
            found.push_back({&c, &c});
        }
    }
    return found;
}

bool PressMnemonic(Window& dialog, char key) {
    const std::vector<Candidate> found = MnemonicCandidates(dialog, key);
    if (found.empty())
        return false;
    if (found.size() > 1) {
        size_t next = 0;
        for (size_t k = 0; k < found.size(); ++k)
            if (found[k].target == StateOf(dialog)->focus)
                next = (k + 1) % found.size();
        SetDialogFocus(dialog, found[next].target, true);
        return true;
    }
    const Candidate& only = found.front();
    switch (only.control->kind) {
    case Kind::Static:
    case Kind::GroupBox:
        SetDialogFocus(dialog, only.target, true);
        return true;
    case Kind::CheckBox:
        SetDialogFocus(dialog, only.target, false);
        DeliverClick(*only.control);
        return true;
    default:
        DeliverClick(*only.control);
        return true;
    }
}

char LowerKey(UINT vk, char ch) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return platform::AsciiLower(static_cast<char>(vk));
    return platform::AsciiLower(ch);
}

// Keys the dialog itself answers; false for the others.
bool HandleNavigationKey(Window& dialog, UINT vk, UINT modifiers, UINT code) {
    switch (vk) {
    case VK_TAB:
        if (code & DLGC_WANTTAB)
            return false;
        MoveTab(dialog, (modifiers & kKeyShift) != 0);
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        if (code & DLGC_WANTARROWS)
            return false;
        MoveInGroup(dialog, vk == VK_LEFT || vk == VK_UP);
        return true;
    case VK_RETURN:
        PressEnter(dialog);
        return true;
    case VK_ESCAPE:
        SendCommand(dialog, IDCANCEL, dialog.child(IDCANCEL));
        return true;
    case VK_F1:
        SendMessageA(dialog.handle(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(ID_APP_ABOUT), 0),
                     0);
        return true;
    default:
        return false;
    }
}

} // namespace

char MnemonicOf(std::string_view caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return platform::AsciiLower(caption[i + 1]);
        ++i; // "&&" is a literal '&'
    }
    return 0;
}

bool TakesFocus(const Window& c) {
    switch (c.kind) {
    case Kind::PushButton:
    case Kind::CheckBox:
    case Kind::Edit:
    case Kind::ListBox:
        return c.visible && c.enabled;
    default:
        return false;
    }
}

void SetDialogFocus(Window& dialog, Window* control, bool selectText) {
    DialogState* d = StateOf(dialog);
    if (!d)
        return;
    const bool moved = d->focus != control;
    d->focus = control;
    MoveDefaultFrame(dialog, control);
    if (moved)
        Changed(dialog);
    // After the focus has moved, so that the backend's own focus handling cannot undo it.
    if (control && selectText && (DialogCode(control, 0) & DLGC_HASSETSEL))
        SendMessageA(control->handle(), EM_SETSEL, 0, -1);
}

void SetInitialFocus(Window& dialog) {
    Window* first = nullptr;
    for (auto& c : dialog.children) {
        if (!TakesFocus(*c))
            continue;
        if (c->style & WS_TABSTOP) {
            first = c.get();
            break;
        }
        if (!first)
            first = c.get();
    }
    // A plain SetFocus, as Windows does after WM_INITDIALOG: the default frame stays where the
    // template put it, so Enter still means the default button.
    StateOf(dialog)->focus = first;
    Changed(dialog);
    if (first && (DialogCode(first, 0) & DLGC_HASSETSEL))
        SendMessageA(first->handle(), EM_SETSEL, 0, -1);
}

bool HandleDialogKey(Window& dialog, UINT vk, UINT modifiers, char ch) {
    Window* focus = StateOf(dialog)->focus;
    if (modifiers & kKeyAlt)
        return PressMnemonic(dialog, LowerKey(vk, ch));
    if (modifiers & kKeyControl)
        return false;
    const UINT code = DialogCode(focus, vk);
    if (HandleNavigationKey(dialog, vk, modifiers, code))
        return true;
    if (focus)
        SendMessageA(focus->handle(), WM_KEYDOWN, vk, 0);
    if (static_cast<unsigned char>(ch) < 0x20)
        return focus != nullptr;
    if (focus && (code & DLGC_WANTCHARS)) {
        SendMessageA(focus->handle(), WM_CHAR, static_cast<unsigned char>(ch), 0);
        return true;
    }
    return PressMnemonic(dialog, LowerKey(vk, ch)) || focus != nullptr;
}

bool DeliverKey(Window& dialog, UINT vk, UINT modifiers, char ch) {
    if (!dialog.enabled || HasEnded(dialog))
        return false;
    return HandleDialogKey(dialog, vk, modifiers, ch);
}

void DeliverFocus(Window& control) {
    if (!control.parent || !TakesFocus(control))
        return;
    const DialogState* d = control.parent->As<DialogState>();
    if (d && d->focus != &control)
        SetDialogFocus(*control.parent, &control, false);
}

void DeliverClose(Window& dialog) {
    SendMessageA(dialog.handle(), WM_CLOSE, 0, 0);
}

} // namespace platform::ui
