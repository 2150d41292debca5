// The seam between the framework and the backends that show its windows. Private to the
// framework and its backends.
//
// The backend shows the records (UiWindow.h) and reports the user's input by calling one of the
// Deliver functions below, on the thread that runs the dialog. It reports keys only: what a key
// does in a dialog (tab and group order, mnemonics, the default button, Enter, Escape, F1) is
// the framework's dialog manager (DialogManager.cpp), the same for every backend.
#pragma once

#include "UiWindow.h"
#include "platform/ui_backend.h"

#include <string>
#include <string_view>

namespace platform::ui {

// ---------------------------------------------------------------------------------------------
// Input from a backend, on the thread that runs the dialog.

// The user clicked a button (a check box toggles first); sends WM_COMMAND to the dialog.
void DeliverClick(Window& control);
// The user picked a list item with the mouse; sends LBN_SELCHANGE when the list has LBS_NOTIFY.
void DeliverSelection(Window& list, int index);
// The user changed an edit's text (cut to its limit); sends EN_CHANGE.
void DeliverText(Window& edit, const std::string& text);
// The user stepped an up-down control by delta within its range; updates the buddy edit.
void DeliverSpin(Window& updown, int delta);

// Modifier keys held with a key.
constexpr UINT kKeyShift = 1, kKeyControl = 2, kKeyAlt = 4;
// A key pressed in a dialog: its virtual-key code (VK_TAB, VK_RETURN, 'A'..'Z', '0'..'9', ...),
// the modifiers and the character it types (ANSI, 0 for none). The dialog manager acts on it,
// or hands it to the control that has the focus. Returns whether anything took it.
bool DeliverKey(Window& dialog, UINT vk, UINT modifiers, char ch);
// The user put the focus on a control (by clicking it).
void DeliverFocus(Window& control);
// The close box (IDCANCEL).
void DeliverClose(Window& dialog);
// A timer of the window is due.
void DeliverTimer(Window& window, UINT_PTR id);
// Delivers the messages posted so far (from any thread) to their windows, in order. Returns how
// many were delivered. Backends call it from their modal loop.
int DeliverPostedMessages();
// A paint request of an owner-draw button: its object's DrawItem draws into control.surface,
// which is first sized to the control; pixels it has not held yet show background (what lies
// beneath the control). Backends then show the surface.
void PaintOwnerDraw(Window& control, uint32_t background);

// The mnemonic of a caption: the character after the first lone '&' ("&&" is a literal '&'),
// lower-cased; 0 when there is none.
char MnemonicOf(std::string_view caption);

// ---------------------------------------------------------------------------------------------

class UiBackend {
  public:
    virtual ~UiBackend() = default;

    // Dialog base units (pixels per 4 horizontal and 8 vertical dialog units) of a font.
    virtual SIZE DialogBaseUnits(const std::string& fontName, int points) = 0;
    virtual SIZE ScreenSize() = 0;
    virtual int GetSystemMetrics(int index) = 0;

    // The framework has created the records of a dialog and its controls; the backend makes
    // what it needs to show them. Called before WM_INITDIALOG.
    virtual void Realize(Window& dialog) = 0;
    // The dialog goes away: the backend releases what it made. The record lives until the call
    // returns.
    virtual void Unrealize(Window& dialog) = 0;
    // A record changed (text, state, enabled, visible, geometry; a dialog's focus).
    virtual void Update(Window& window) = 0;
    // Paint now what is visible (UpdateWindow).
    virtual void Paint(Window& window) = 0;
    // Runs the loop of a modal dialog until it has ended: user input, timers and posted
    // messages.
    virtual void RunModalLoop(Window& dialog) = 0;
    // The set of timers of a window changed.
    virtual void TimersChanged(Window& window) = 0;
    // A message was posted from some thread: wake the loop so that it delivers it.
    virtual void Wake() = 0;
    // A modal message box; returns IDOK, IDYES, IDNO, ...
    virtual int MessageBox(const std::string& text, const std::string& caption, UINT type) = 0;
};

} // namespace platform::ui
