// The user's input, held until the dialog's loop hands it to the framework.
//
// FLTK runs widget callbacks inside Fl::wait(), under its lock, and possibly on the thread of
// another window (the splash thread waits for its own expose events). The framework's handlers
// must run on the thread of the dialog's loop and without the lock, so callbacks only queue what
// happened; the loop takes one input at a time and delivers it with the lock released.
#pragma once

#include "UiBackend.h"

#include <string>

namespace platform::ui::fltk {

struct Input {
    enum class Type { Click, Selection, Text, Spin, Key, Focus, HeldKey, Close, Timer };
    Type type;
    Window* window; // the control, or the dialog for Key, HeldKey and Close
    int value = 0;  // Selection: the index; Spin: the step; Key: the virtual key; HeldKey: FLTK's
    UINT_PTR timerId = 0;
    std::string text{}; // Text: the edit's new text (ANSI); HeldKey: FLTK's event text (UTF-8)
    UINT modifiers = 0; // Key: kKeyShift, ...; HeldKey: FLTK's event state
    char ch = 0;        // Key: the character typed (ANSI)
};

// Sees every event before FLTK hands it out: a key pressed while input is still queued waits
// its turn behind it, so that a key the framework has not yet acted on (say Alt with a
// mnemonic, which moves the focus) takes effect before the next one reaches a widget; and a
// click that moved the focus is reported. Call once, with the lock held.
void InstallInputHooks();

// These need the FLTK lock held.
void QueueInput(Input input);
// The modal loops running, innermost last: a dialog's record, or null for a message box. The
// user's input reaches only the dialog of the innermost loop, as a modal window on Windows
// disables the windows below it; ticks of timers go everywhere.
void PushModal(const Window* dialog);
void PopModal();
// Drops what is queued for a window and its controls: they are going away.
void ForgetInput(const Window& window);
bool InputPending();

// Delivers queued input in order until none is left or the dialog (when given) has ended.
// Called without the FLTK lock. Returns how many inputs were delivered.
int DeliverQueuedInput(const Window* dialog);

} // namespace platform::ui::fltk
