#include "res/Templates.h"
#include "res/resource.h"

platform::ui::DialogTemplate AboutTemplate() {
    return {IDD_ABOUTBOX,
            WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
            "About Pallix",
            "MS Sans Serif",
            8,
            0,
            0,
            217,
            55,
            {
                {IDC_STATIC, "STATIC", "", SS_ICON, 11, 17, 18, 20, IDR_MAINFRAME},
                {IDC_STATIC, "STATIC", "Ostrel Sky.Vane Version 1.0", SS_LEFT | SS_NOPREFIX, 40, 10,
                 119, 8},
                {IDC_STATIC, "STATIC", "(C) 1997 Ostrel Technologies", SS_LEFT, 40, 25, 119, 8},
                {IDOK, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 178, 7, 32, 14},
            }};
}
