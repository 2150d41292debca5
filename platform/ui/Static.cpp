// The STATIC class: text, icons and black rectangles. Text statics are the dialogs' labels.
#include "Framework.h"

namespace platform::ui {

LRESULT StaticProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETDLGCODE)
        return DLGC_STATIC;
    return DefaultProc(w, message, wParam, lParam);
}

} // namespace platform::ui
