#include "res/Templates.h"
#include "res/resource.h"

// The splash screen: no caption, centred, above other windows.
platform::ui::DialogTemplate SplashTemplate() {
    return {
        IDD_SPLASH,
        WS_POPUP | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT | DS_CENTER | DS_SYSMODAL |
            DS_NOFAILCREATE,
        "",
        "Helv",
        8,
        0,
        0,
        222,
        67,
        {
            {IDC_ICON_BUTTON, "BUTTON", "", BS_OWNERDRAW | WS_DISABLED, 6, 6, 32, 31},
            {IDC_STATIC, "STATIC", "Ostrel Sky.Vane Version 1.0", SS_LEFT, 46, 5, 164, 8},
            {IDC_STATIC, "STATIC", "Loading...", SS_LEFT, 46, 14, 135, 8},
            {IDC_STATIC, "STATIC", "", SS_BLACKRECT, 46, 29, 167, 1},
            {IDC_STATIC, "STATIC", "(C) 1997 Ostrel Technologies, Inc.", SS_LEFT, 45, 35, 150, 8},
            {IDC_STATIC, "STATIC", "All rights reserved.", SS_LEFT, 45, 44, 137, 8},
            {IDC_STATIC, "STATIC", "Sky.Vane is a trademark of Ostrel.", SS_LEFT, 45, 54, 141, 8},
        }};
}
