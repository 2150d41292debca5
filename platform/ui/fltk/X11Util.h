// The few things done with Xlib directly, kept apart from the framework's names (Xlib has its
// own Window type).
#pragma once

#include <string>

class Fl_Window;

namespace platform::ui::fltk {

// Opens the display for FLTK. False, with a one-line reason, when there is none.
bool OpenDisplay(std::string& error);

// Asks the window manager to keep a shown window above others (_NET_WM_STATE_ABOVE) and raises
// it; without a window manager the window is only raised.
void KeepAbove(Fl_Window* window);

// Shows a window that has a caption with the frame of a Windows dialog: a close box and no
// minimise or maximise box (FLTK already keeps the size fixed). Windows without a caption, and
// windows already shown, are only shown.
void ShowWithDialogFrame(Fl_Window* window);

// Waits until the X server has handled every request sent so far.
void SyncDisplay();

// Marks the descriptors opened since `before` (a snapshot from OpenDescriptors) close-on-exec:
// FLTK's wake-up pipe and the X connection must not leak into the programs the launcher starts.
std::string OpenDescriptors();
void CloseOnExecSince(const std::string& before);

} // namespace platform::ui::fltk
