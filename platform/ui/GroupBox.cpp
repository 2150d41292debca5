// The group box (a BUTTON of style BS_GROUPBOX): a frame with a caption. In a dialog its
// mnemonic hands the focus to the first control after it, as a label's does.
#include "Framework.h"

namespace platform::ui {

// It answers as a label does.
LRESULT GroupBoxProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
    return StaticProc(w, message, wParam, lParam);
}

} // namespace platform::ui
