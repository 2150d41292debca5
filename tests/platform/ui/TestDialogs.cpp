#include "platform/ui/TestDialogs.h"

#include "support/TestTemplates.h"

platform::ui::ResourceTable TestResources() {
    platform::ui::ResourceTable t;
    t.dialogs.push_back(
        TestTemplate(kTestDialog, WS_POPUP | WS_CAPTION | DS_MODALFRAME, "Test", 200, 100,
                     {
                         {IDOK, "BUTTON", "&Go", BS_DEFPUSHBUTTON, 140, 7, 50, 14},
                         {IDCANCEL, "BUTTON", "Cancel", BS_PUSHBUTTON, 140, 24, 50, 14},
                         {kApply, "BUTTON", "&Apply", BS_PUSHBUTTON, 140, 41, 50, 14},
                         {kList, "LISTBOX", "", LBS_SORT | LBS_NOTIFY, 7, 7, 60, 50},
                         {kPlain, "LISTBOX", "", 0, 7, 60, 60, 30},
                         {kCheck, "BUTTON", "Check", BS_AUTOCHECKBOX, 70, 7, 60, 10},
                         {kEdit, "EDIT", "", ES_AUTOHSCROLL, 70, 20, 40, 12},
                         {kSpin, "msctls_updown32", "",
                          UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT, 110, 19, 10, 14},
                     }));
    // For the keys: tab stops, labels, "&Go" and "&Gate" sharing a letter, a group of its own.
    constexpr DWORD kTab = WS_TABSTOP;
    t.dialogs.push_back(TestTemplate(
        kKeysDialog, WS_POPUP | WS_CAPTION | DS_MODALFRAME, "Keys", 200, 120,
        {
            {IDOK, "BUTTON", "&Go", BS_DEFPUSHBUTTON | kTab, 140, 7, 50, 14},
            {IDCANCEL, "BUTTON", "Cancel", BS_PUSHBUTTON | kTab, 140, 24, 50, 14},
            {kApply, "BUTTON", "&Apply", BS_PUSHBUTTON | kTab, 140, 41, 50, 14},
            {IDC_STATIC, "STATIC", "&Name", SS_LEFT, 7, 9, 30, 8},
            {kEdit, "EDIT", "", ES_AUTOHSCROLL | kTab, 40, 7, 40, 12},
            {kSpin, "msctls_updown32", "",
             UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 80, 6, 10, 14},
            {IDC_STATIC, "STATIC", "&Gate", SS_LEFT, 7, 25, 30, 8},
            {kList, "LISTBOX", "", LBS_SORT | LBS_NOTIFY | WS_BORDER | kTab, 40, 25, 60, 40},
            {kCheck, "BUTTON", "&Check", BS_AUTOCHECKBOX | kTab | WS_GROUP, 7, 70, 60, 10},
            {kDisabled, "BUTTON", "&Disabled", BS_PUSHBUTTON | WS_DISABLED, 7, 85, 60, 14},
        }));
    t.strings[AFX_IDS_APP_TITLE] = "Test Title";
    return t;
}

BEGIN_MESSAGE_MAP(TestDlg, CDialog)
ON_BN_CLICKED(kApply, OnApply)
ON_LBN_SELCHANGE(kList, OnSelchange)
ON_BN_CLICKED(kCheck, OnCheck)
ON_EN_CHANGE(kEdit, OnEditChange)
ON_WM_TIMER()
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(TestApp, CWinApp)
ON_COMMAND(ID_APP_ABOUT, OnAbout)
END_MESSAGE_MAP()
