// What the framework's own files share: the installed backend, the live windows, the window
// procedure of each class and the dialog manager's focus rules. Not for the backends.
#pragma once

#include "UiBackend.h"

#include <string>

namespace platform::ui {

UiBackend* Backend();
// Tells the backend that a record changed.
void Changed(Window& w);

// The set of live windows, which FromHandle consults.
void AddLive(Window* dialog); // the dialog and its controls
void RemoveLive(Window* w);   // the window and its controls

int CompareNoCase(const std::string& a, const std::string& b);
// Reads a decimal integer with optional blanks around it and a minus sign; false for anything
// else or a value beyond int.
bool ReadInt(const std::string& text, int* value);

// The WM_COMMAND notification of a control to its dialog.
void NotifyParent(Window& control, UINT code);

// ---------------------------------------------------------------------------------------------
// Window classes: the class of a control template, its initial state, and its window procedure,
// which answers what Windows' own procedure of that class answers (every class falls back on
// DefaultProc: text, WM_GETDLGCODE 0).

Kind KindOf(const ControlTemplate& c);
void InitClassState(Window& w, const ControlTemplate& c);
LRESULT CallClassProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefaultProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT ButtonProc(Window& w, ButtonState& state, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT GroupBoxProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProc(Window& w, EditState& state, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListBoxProc(Window& w, ListBoxState& state, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT UpDownProc(Window& w, UpDownState& state, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DialogProc(Window& w, DialogState& state, UINT message, WPARAM wParam, LPARAM lParam);

// The up-down control whose buddy is this edit and that takes its arrow keys, or null.
Window* ArrowKeysUpDownOf(Window& edit);
// Steps an up-down control by delta within its range and writes the number into its buddy.
void StepUpDown(Window& updown, int delta);

// ---------------------------------------------------------------------------------------------
// The dialog manager (DialogManager.cpp).

// Whether a control can hold the keyboard focus now: one of the kinds that take it, visible
// and enabled.
bool TakesFocus(const Window& control);
// Gives a control of the dialog the focus (null: none), as WM_NEXTDLGCTL does: the default frame
// follows the focus onto a push button and back to the default button; with selectText an
// edit's text is selected.
void SetDialogFocus(Window& dialog, Window* control, bool selectText);
// After WM_INITDIALOG returned TRUE: the first tab stop, else the first control that takes the
// focus; a plain SetFocus, so the default frame stays on the default button.
void SetInitialFocus(Window& dialog);
// The dialog manager: the keys of a dialog (IsDialogMessage).
bool HandleDialogKey(Window& dialog, UINT vk, UINT modifiers, char ch);

} // namespace platform::ui

// Lets the framework's files reach the private parts of CWnd and CDialog.
struct AfxWindowAccess {
    static platform::ui::Window* Record(const CWnd* w) {
        return platform::ui::FromHandle(w->m_hWnd);
    }
    // Releases a dialog's record: objects made for its controls are deleted, the others are
    // detached.
    static void Forget(platform::ui::Window* dialog);
    static void DetachObject(platform::ui::Window* w);
    // Attaches a new object of the control's class, owned by the framework.
    static void AttachAutoObject(platform::ui::Window* control);
};
