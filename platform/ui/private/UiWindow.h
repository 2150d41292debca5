// The framework's record of a window: what every window has, and the state that its window
// class keeps of its own. Private to the framework and its backends.
//
// System code changes the records through CWnd and the control messages, which run the window
// procedure of the record's class (Button.cpp, Edit.cpp, ListBox.cpp, ...); the framework then
// calls UiBackend::Update so that the backend shows the change.
#pragma once

#include "platform/afxwin.h"
#include "platform/ui_resources.h"

#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace platform::ui {

// Pixels of an owner-draw control: what its DrawItem painted, kept from one paint to the next
// (0xAARRGGBB, row by row from the top).
struct Surface {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

enum class Kind {
    Dialog,
    PushButton, // BS_PUSHBUTTON and BS_DEFPUSHBUTTON; ButtonState says which is the default
    CheckBox,
    GroupBox,
    OwnerDrawButton,
    Static,    // text
    Icon,      // SS_ICON
    BlackRect, // SS_BLACKRECT
    Edit,
    ListBox,
    UpDown,
};

struct Window;

// BUTTON: push buttons, check boxes and owner-draw buttons.
struct ButtonState {
    UINT check = BST_UNCHECKED;
    bool isDefault = false; // drawn with the default frame (BS_DEFPUSHBUTTON)
};

// STATIC.
struct StaticState {
    int iconId = 0; // SS_ICON: the icon shown
};

// EDIT.
struct EditState {
    UINT limitText = 0; // 0 = no limit
    // The last EM_SETSEL: the backend applies it once each time the serial changes.
    int selStart = 0, selEnd = 0;
    unsigned selSerial = 0;
};

// LISTBOX.
struct ListBoxState {
    std::vector<std::string> items; // sorted when LBS_SORT
    int curSel = -1;
    int itemHeight = 13; // pixels per item: the dialog font's height
};

// msctls_updown32.
struct UpDownState {
    int rangeLow = 0, rangeHigh = 100;
    Window* buddy = nullptr; // the edit it steps
};

// A dialog (the dialog class of Windows).
struct DialogState {
    const DialogTemplate* dialogTemplate = nullptr;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    SIZE baseUnits{};        // dialog font base units (x, y) used for the layout
    int defId = 0;           // DM_GETDEFID: the default push button, 0 for none
    Window* focus = nullptr; // the control with the keyboard focus, or null
};

struct Window {
    Kind kind = Kind::Static;
    int id = 0;
    DWORD style = 0;
    std::string text; // caption of a dialog, text of a control
    RECT rect{};      // pixels: a dialog's on the screen, a control's in its dialog
    Window* parent = nullptr;
    std::vector<std::unique_ptr<Window>> children; // a dialog's controls, in template order
    CWnd* object = nullptr;                        // the CWnd attached, if any
    bool enabled = true;
    bool visible = false;
    Surface surface;                 // what the window painted (owner-draw buttons)
    std::map<UINT_PTR, UINT> timers; // id -> period in ms
    void* backendData = nullptr;     // the backend's own

    // The state of the window's class.
    std::variant<std::monostate, ButtonState, StaticState, EditState, ListBoxState, UpDownState,
                 DialogState>
        state;
    template <typename T> T* As() { return std::get_if<T>(&state); }
    template <typename T> const T* As() const { return std::get_if<T>(&state); }

    HWND handle() { return reinterpret_cast<HWND>(this); }
    Window* child(int controlId) const;
};

// The dialog's own state; null for a record that is no dialog.
inline DialogState* DialogStateOf(Window& w) {
    return w.As<DialogState>();
}
inline bool HasEnded(const Window& dialog) {
    const DialogState* d = dialog.As<DialogState>();
    return !d || d->ended;
}

// The record of a live window of this process, or null.
Window* FromHandle(HWND hWnd);

} // namespace platform::ui
