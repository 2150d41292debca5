#include "res/Templates.h"
#include "res/resource.h"

// The progress dialog of one dial (its title is replaced when it opens).
platform::ui::DialogTemplate ConnectTemplate() {
    return {IDD_CONNECT,
            WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
            "Connect",
            "MS Sans Serif",
            8,
            0,
            0,
            186,
            42,
            {
                {IDCANCEL, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 129, 7, 50, 14},
                {IDC_ATTEMPT_LINE, "STATIC", "Attempt 1 of 1", SS_LEFT, 7, 7, 111, 8},
                {IDC_STATUS_LINE, "STATIC", "Dialing...", SS_LEFT, 7, 27, 172, 8},
            }};
}
