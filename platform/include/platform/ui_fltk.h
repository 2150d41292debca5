// The ui backend that shows the framework's dialogs and message boxes with FLTK on X11.
#pragma once

#include "platform/ui_backend.h"

#include <string>

namespace platform::ui {

// Opens the X display named by DISPLAY and returns the backend, or null with a one-line reason
// in `error` when there is no display. Call it on the main thread before any other use of Xlib
// in the process: it enables Xlib's thread support (XInitThreads) and FLTK's lock, so that the
// splash thread may create and show its own window through the same backend.
UiBackendPtr OpenFltkUi(std::string& error);

} // namespace platform::ui
