// The framework's test dialogs and tables, shared by the tests of every build: the templates,
// a dialog that records what reaches its handlers, an application with an About command, and
// the numbers a dialog reads from its controls.
#pragma once

#include "platform/afxwin.h"
#include "platform/ui_resources.h"

#include <functional>
#include <string>
#include <vector>

constexpr UINT kTestDialog = 900, kKeysDialog = 901;
constexpr int kList = 10, kEdit = 11, kCheck = 12, kSpin = 13, kPlain = 14, kApply = 15,
              kDisabled = 16;

// Two test dialogs: 900 with every kind of control, 901 for the keys; string 57344 "Test Title".
platform::ui::ResourceTable TestResources();

class TestDlg : public CDialog {
  public:
    explicit TestDlg(CWnd* parent = nullptr, UINT id = kTestDialog) : CDialog(id, parent) {}

    std::vector<std::string> events;
    bool endInInit = false;
    std::function<void(TestDlg&)> onApply;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        events.push_back("init");
        if (endInInit)
            EndDialog(IDCANCEL);
        return TRUE;
    }
    void OnOK() override {
        events.push_back("ok");
        CDialog::OnOK();
    }
    void OnApply() {
        events.push_back("apply");
        if (onApply)
            onApply(*this);
    }
    void OnSelchange() { events.push_back("selchange"); }
    void OnCheck() { events.push_back("check"); }
    void OnEditChange() { events.push_back("change"); }
    void OnTimer(UINT_PTR id) override { events.push_back("timer " + std::to_string(id)); }
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= 0xC000)
            events.push_back("event " + std::to_string(wParam));
        return CDialog::DefWindowProc(message, wParam, lParam);
    }

    DECLARE_MESSAGE_MAP()
};

class TestApp : public CWinApp {
  public:
    int abouts = 0;
    void OnAbout() { ++abouts; }
    DECLARE_MESSAGE_MAP()
};

// GetDlgItemInt of each text, signed or not.
struct NumberRow {
    const char* text;
    BOOL isSigned;
    UINT value;
    BOOL ok;
};
inline const NumberRow kNumberRows[] = {
    {"10", FALSE, 10, TRUE},
    {" 7 ", FALSE, 7, TRUE},
    {"abc", FALSE, 0, FALSE},
    {"-3", FALSE, 0, FALSE},
    {"-3", TRUE, static_cast<UINT>(-3), TRUE},
    {"", FALSE, 0, FALSE},
    {"4294967295", FALSE, 4294967295u, TRUE},
    {"4294967296", FALSE, 0, FALSE},
    {"2147483648", TRUE, 0, FALSE},
    {"12a", FALSE, 0, FALSE},
    {"86400", FALSE, 86400, TRUE},
};
