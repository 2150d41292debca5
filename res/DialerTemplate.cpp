#include "res/Templates.h"
#include "res/resource.h"

// Placeholder until the dialog is built: its frame only.
platform::ui::DialogTemplate DialerTemplate() {
    return {IDD_DIALER, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, "", "MS Sans Serif", 8,
            0, 0, 264, 166, {}};
}
