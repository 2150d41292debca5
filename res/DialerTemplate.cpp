#include "res/Templates.h"
#include "res/resource.h"

// The dialer: phone-book entry, credentials and dialing settings. Each label comes right before
// its edit, and each spin right after its edit (it takes the previous control as its buddy).
platform::ui::DialogTemplate DialerTemplate() {
    constexpr DWORD kEdit = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    constexpr DWORD kSpin = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS;
    return {IDD_DIALER,
            WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
            "Ostrel Sky.Vane Dialer",
            "MS Sans Serif",
            8,
            0,
            0,
            264,
            166,
            {
                {IDOK, "BUTTON", "&Dial Now", BS_DEFPUSHBUTTON | WS_TABSTOP, 168, 7, 89, 14},
                {IDC_START_WITHOUT_DIALING, "BUTTON", "&Start Without Dialing",
                 BS_PUSHBUTTON | WS_TABSTOP, 167, 23, 90, 14},
                {IDCANCEL, "BUTTON", "E&xit", BS_PUSHBUTTON | WS_TABSTOP, 167, 39, 90, 14},
                {IDC_STATIC, "BUTTON", "", BS_GROUPBOX, 7, 3, 150, 41},
                {IDC_STATIC, "STATIC",
                 "There are currently no remote connections.  You may choose a connection to "
                 "dial, start Ostrel Sky.Vane without dialing or Exit.",
                 SS_LEFT, 13, 11, 138, 31},
                {IDC_STATIC, "BUTTON", "Connection to Dial", BS_GROUPBOX, 7, 56, 107, 73},
                {IDC_ENTRY_LIST, "LISTBOX", "",
                 LBS_SORT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 15, 69, 92, 54},
                {IDC_STATIC, "BUTTON", "Login", BS_GROUPBOX, 119, 56, 138, 74},
                {IDC_STATIC, "STATIC", "&User Name", SS_LEFT, 126, 70, 50, 8},
                {IDC_USER_NAME, "EDIT", "", kEdit, 180, 67, 70, 14},
                {IDC_STATIC, "STATIC", "&Password", SS_LEFT, 126, 86, 50, 8},
                {IDC_PASSWORD, "EDIT", "", kEdit | ES_PASSWORD, 180, 83, 70, 14},
                {IDC_STATIC, "STATIC", "(if necessary)", SS_LEFT, 126, 110, 50, 8},
                {IDC_STATIC, "STATIC", "&Domain", SS_LEFT, 126, 101, 50, 8},
                {IDC_DOMAIN, "EDIT", "", kEdit, 180, 99, 70, 14},
                {IDC_SAVE_PASSWORD, "BUTTON", "Save Password", BS_AUTOCHECKBOX | WS_TABSTOP, 181,
                 116, 65, 10},
                {IDC_STATIC, "BUTTON", "Dialing", BS_GROUPBOX, 7, 132, 250, 27},
                {IDC_STATIC, "STATIC", "Number of Attempts", SS_LEFT, 14, 144, 66, 8},
                {IDC_ATTEMPTS, "EDIT", "", kEdit, 83, 142, 25, 12},
                {IDC_ATTEMPTS_SPIN, "msctls_updown32", "", kSpin, 105, 141, 10, 14},
                {IDC_STATIC, "STATIC", "Delay Between Tries (sec)", SS_LEFT, 125, 144, 87, 8},
                {IDC_DELAY, "EDIT", "", kEdit, 215, 142, 25, 12},
                {IDC_DELAY_SPIN, "msctls_updown32", "", kSpin, 240, 141, 9, 14},
            }};
}
