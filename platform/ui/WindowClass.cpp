// The window classes: which class a control template makes, the state each class starts with,
// and the procedure that answers for it.
#include "Framework.h"
#include "platform/ascii.h"

#include <cctype>
#include <cstring>

namespace platform::ui {

namespace {

// Which kind a template makes: the first row whose class (any class when null) and style bits
// match. A button's type and a static's type are each one field of the style.
struct KindRule {
    const char* className;
    DWORD typeMask;
    DWORD type;
    Kind kind;
};

constexpr KindRule kKindRules[] = {
    {"BUTTON", BS_TYPEMASK, BS_CHECKBOX, Kind::CheckBox},
    {"BUTTON", BS_TYPEMASK, BS_AUTOCHECKBOX, Kind::CheckBox},
    {"BUTTON", BS_TYPEMASK, BS_GROUPBOX, Kind::GroupBox},
    {"BUTTON", BS_TYPEMASK, BS_OWNERDRAW, Kind::OwnerDrawButton},
    {"BUTTON", 0, 0, Kind::PushButton},
    {"EDIT", 0, 0, Kind::Edit},
    {"LISTBOX", 0, 0, Kind::ListBox},
    {"MSCTLS_UPDOWN32", 0, 0, Kind::UpDown},
    {nullptr, SS_TYPEMASK, SS_ICON, Kind::Icon},
    {nullptr, SS_TYPEMASK, SS_BLACKRECT, Kind::BlackRect},
};

} // namespace

Kind KindOf(const ControlTemplate& c) {
    const std::string cls = platform::AsciiUppered(c.className);
    for (const KindRule& rule : kKindRules) {
        if ((rule.className == nullptr || cls == rule.className) &&
            (c.style & rule.typeMask) == rule.type) {
            return rule.kind;
        }
    }
    return Kind::Static;
}

void InitClassState(Window& w, const ControlTemplate& c) {
    switch (w.kind) {
    case Kind::PushButton:
        w.state = ButtonState{BST_UNCHECKED, (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON};
        break;
    case Kind::CheckBox:
    case Kind::OwnerDrawButton:
        w.state = ButtonState{};
        break;
    case Kind::Static:
    case Kind::Icon:
    case Kind::BlackRect:
        w.state = StaticState{c.iconId};
        break;
    case Kind::Edit:
        w.state = EditState{};
        break;
    case Kind::ListBox:
        w.state = ListBoxState{};
        break;
    case Kind::UpDown:
        w.state = UpDownState{};
        break;
    case Kind::GroupBox:
    case Kind::Dialog:
        break;
    }
}

namespace {

// Runs a class procedure on the window's state of its class; a window that has no such state
// answers as every window does.
template <class State>
LRESULT WithState(LRESULT (*proc)(Window&, State&, UINT, WPARAM, LPARAM), Window& w, UINT message,
                  WPARAM wParam, LPARAM lParam) {
    State* state = w.As<State>();
    return state ? proc(w, *state, message, wParam, lParam)
                 : DefaultProc(w, message, wParam, lParam);
}

} // namespace

LRESULT CallClassProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (w.kind) {
    case Kind::Dialog:
        return WithState(DialogProc, w, message, wParam, lParam);
    case Kind::PushButton:
    case Kind::CheckBox:
    case Kind::OwnerDrawButton:
        return WithState(ButtonProc, w, message, wParam, lParam);
    case Kind::GroupBox:
        return GroupBoxProc(w, message, wParam, lParam);
    case Kind::Static:
    case Kind::Icon:
    case Kind::BlackRect:
        return StaticProc(w, message, wParam, lParam);
    case Kind::Edit:
        return WithState(EditProc, w, message, wParam, lParam);
    case Kind::ListBox:
        return WithState(ListBoxProc, w, message, wParam, lParam);
    case Kind::UpDown:
        return WithState(UpDownProc, w, message, wParam, lParam);
    }
    return DefaultProc(w, message, wParam, lParam);
}

// What every window answers: its text.
LRESULT DefaultProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        w.text = text ? text : "";
        Changed(w);
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<char*>(lParam);
        if (!out || wParam == 0)
            return 0;
        size_t n = std::min<size_t>(w.text.size(), wParam - 1);
        std::memcpy(out, w.text.data(), n);
        out[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w.text.size());
    default:
        return 0;
    }
}

} // namespace platform::ui
