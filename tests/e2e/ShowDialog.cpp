// show-dialog: runs one of the launcher's dialogs, or a message box, with the FLTK backend, so
// that a person or a test can look at it, press its keys and take its picture.
//
//   show-dialog about                      the About box
//   show-dialog controls                   a dialog with one control of every kind; prints
//                                          what they held when it ended
//   show-dialog thread                     the About box made modeless by a second thread,
//                                          shown and painted once, then left without an event
//                                          loop for two seconds, as the splash screen is
//   show-dialog splash                     the splash screen of its own thread, until a
//                                          window titled "Ostrel Sky.Vane" opens, or for 3 s
//   show-dialog msgbox TYPE TEXT [CAPTION] a message box; TYPE is the MB_ flags in decimal or
//                                          0x hex
//   show-dialog units                      the dialog base units of "MS Sans Serif" 8
//   show-dialog dialer                     the Dialer on the dial-up service (see below), with
//                                          "Office" and its password remembered
//   show-dialog connect [ENTRY [USER [ATTEMPTS [DELAY]]]]
//                                          the Connect dialog dialing ENTRY (default Office, joe,
//                                          10 attempts, 5 s)
//
// The dialer and connect cases use the dial-up service of SKYVANE_PHONEBOOK and
// SKYVANE_DIALUP_STATE when they are set, else a sample phone book (Office is busy once, then
// connects) and a state folder of their own, removed at the end.
//
// The dialog's result (or the button of the message box) is printed on standard output when it
// ends. Without a display it says so on standard error and ends with status 1.
#include "UiBackend.h" // the backend itself: base units and message boxes
#include "dialup/ConnectDlg.h"
#include "dialup/DialerDlg.h"
#include "platform/afxwin.h"
#include "platform/ras_service.h"
#include "platform/registry_memory.h"
#include "platform/ui_fltk.h"
#include "platform/winfind_x11.h"
#include "res/Resources.h"
#include "res/resource.h"
#include "splash/AboutDlg.h"
#include "splash/SplashDlg.h"
#include "support/TempDir.h"
#include "support/TestTemplates.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr UINT kControlsDialog = 9000;

// A dialog that has every kind of control the launcher's dialogs use, for the tests of the
// keyboard: labels with mnemonics before edits, a masked edit, a limited edit, a sorted list,
// a number with arrows and a check box.
platform::ui::DialogTemplate ControlsTemplate() {
    const DWORD edit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    return TestTemplate(
        kControlsDialog, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        "Controls", 200, 122,
        {
            {IDOK, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 143, 7, 50, 14},
            {IDCANCEL, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 143, 24, 50, 14},
            {IDC_STATIC, "STATIC", "&User Name", SS_LEFT, 7, 9, 40, 8},
            {1002, "EDIT", "", edit, 52, 7, 80, 12},
            {IDC_STATIC, "STATIC", "&Password", SS_LEFT, 7, 25, 40, 8},
            {1003, "EDIT", "", edit | ES_PASSWORD, 52, 23, 80, 12},
            {IDC_STATIC, "STATIC", "&Domain", SS_LEFT, 7, 41, 40, 8},
            {1004, "EDIT", "", edit, 52, 39, 80, 12},
            {IDC_STATIC, "BUTTON", "Dialing", BS_GROUPBOX, 5, 56, 188, 60},
            {IDC_STATIC, "STATIC", "&List", SS_LEFT, 12, 67, 30, 8},
            {1001, "LISTBOX", "", LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 12,
             77, 60, 33},
            {IDC_STATIC, "STATIC", "&Attempts", SS_LEFT, 80, 67, 40, 8},
            {1021, "EDIT", "", edit | ES_NUMBER, 80, 77, 30, 12},
            {1022, "msctls_updown32", "",
             UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS, 110, 77, 10, 12},
            {1026, "BUTTON", "&Save Password", BS_AUTOCHECKBOX | WS_TABSTOP, 80, 97, 70, 10},
        });
}

constexpr UINT kWorkerMessage = WM_USER + 1;

class CControlsDlg : public CDialog {
  public:
    CControlsDlg() : CDialog(kControlsDialog) {}
    ~CControlsDlg() override {
        if (m_worker.joinable())
            m_worker.join();
    }

    // What the controls held when the dialog ended, one "id text" line each.
    std::string m_strReport;

  protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetDlgItemInt(1021, 10);
        SendDlgItemMessage(1022, UDM_SETRANGE, 0, MAKELPARAM(20, 1));
        SendDlgItemMessage(1004, EM_LIMITTEXT, 5);
        auto* list = static_cast<CListBox*>(GetDlgItem(1001));
        for (const char* entry : {"Office", "Home", "Zeta"})
            list->AddString(entry);
        list->SetCurSel(0);
        // A timer, and messages posted from another thread, as the Connect dialog gets them.
        SetTimer(2, 100, nullptr);
        HWND hWnd = m_hWnd;
        m_worker = std::thread([hWnd] {
            for (int i = 0; i < 5; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                PostMessageA(hWnd, kWorkerMessage, static_cast<WPARAM>(i), 0);
            }
        });
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kWorkerMessage) {
            // In the order posted.
            if (static_cast<int>(wParam) == m_nPosted)
                ++m_nPosted;
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
    void OnTimer(UINT_PTR nIDEvent) override {
        if (nIDEvent == 2)
            ++m_nTicks;
    }
    void OnOK() override {
        Report();
        CDialog::OnOK();
    }
    void OnCancel() override {
        Report();
        CDialog::OnCancel();
    }
    void OnSelchange() { ++m_nSelchanges; }

    DECLARE_MESSAGE_MAP()

  private:
    void Report() {
        for (int id : {1002, 1003, 1004, 1021}) {
            std::string text;
            GetDlgItemText(id, text);
            m_strReport += std::to_string(id) + " " + text + "\n";
        }
        auto* list = static_cast<CListBox*>(GetDlgItem(1001));
        std::string entry;
        list->GetText(list->GetCurSel(), entry);
        m_strReport += "1001 " + entry + "\n";
        m_strReport += "selchanges " + std::to_string(m_nSelchanges) + "\n";
        m_strReport += "1026 " + std::to_string(IsDlgButtonChecked(1026)) + "\n";
        m_strReport += "posted " + std::to_string(m_nPosted) + "\n";
        m_strReport += std::string("ticking ") + (m_nTicks >= 3 ? "yes" : "no") + "\n";
    }
    int m_nSelchanges = 0;
    int m_nPosted = 0;
    int m_nTicks = 0;
    std::thread m_worker;
};

BEGIN_MESSAGE_MAP(CControlsDlg, CDialog)
ON_LBN_SELCHANGE(1001, OnSelchange)
ON_WM_TIMER()
END_MESSAGE_MAP()

// F1 in a dialog is the About command, which the application object answers.
class CShowDialogApp : public CWinApp {
  public:
    void OnAppAbout() {
        CAboutDlg dlg;
        dlg.DoModal();
    }

  protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CShowDialogApp, CWinApp)
ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
END_MESSAGE_MAP()

// The dial-up service and product key of the dialer and connect cases.
class DialupSetup {
  public:
    DialupSetup() {
        platform::DialupServiceOptions options = platform::DialupServiceOptions::FromEnvironment();
        if (std::getenv("SKYVANE_PHONEBOOK") == nullptr) {
            m_temp = std::make_unique<TempDir>("show-dialog");
            if (m_temp->Ok()) {
                const std::filesystem::path folder = m_temp->Path();
                std::ofstream(folder / "phonebook.pbk")
                    << "[Office]\nUserName=joe\nOutcomes=busy,connect\n"
                       "[Home]\nUserName=ann\n[Ostrel Online]\nUserName=guest\n";
                options.phoneBookPath = (folder / "phonebook.pbk").string();
                options.stateDirectory = (folder / "state").string();
            }
        }
        m_service = std::make_unique<platform::DialupService>(options);
        platform::InstallDialup(m_service.get());
        const char* product = "SOFTWARE\\Ostrel Technologies\\Skyvane";
        bool created = false;
        m_registry.CreateKey(HKEY_LOCAL_MACHINE, product, "", &created);
        for (const auto& [name, text] :
             {std::pair<std::string, std::string>{"Last Connection", "Office"},
              {"Password", "secret"}}) {
            platform::RegistryValue value;
            value.name = name;
            value.type = REG_SZ;
            value.data.assign(text.c_str(), text.c_str() + text.size() + 1);
            m_registry.SetValue(HKEY_LOCAL_MACHINE, product, value);
        }
        platform::InstallRegistry(&m_registry);
    }
    ~DialupSetup() {
        platform::InstallRegistry(nullptr);
        platform::InstallDialup(nullptr);
        m_service.reset();
    }

  private:
    std::unique_ptr<TempDir> m_temp;
    platform::MemoryRegistry m_registry;
    std::unique_ptr<platform::DialupService> m_service;
};

// Arguments after the case name, for the connect case.
std::vector<std::string> g_arguments;

int Usage() {
    std::fprintf(stderr,
                 "usage: show-dialog about | controls | dialer | connect [ENTRY [USER [ATTEMPTS "
                 "[DELAY]]]] | msgbox TYPE TEXT [CAPTION] | units\n");
    return 2;
}

// The dialogs this program can show, by name.
const std::map<std::string, std::function<INT_PTR()>>& Dialogs() {
    static const std::map<std::string, std::function<INT_PTR()>> dialogs = {
        {"about",
         [] {
             CAboutDlg dlg;
             return dlg.DoModal();
         }},
        {"thread",
         [] {
             // The main thread waits meanwhile, as it waits for a child program.
             std::thread splash([] {
                 CDialog dlg;
                 dlg.Create(IDD_ABOUTBOX);
                 dlg.ShowWindow(SW_SHOW);
                 dlg.UpdateWindow();
                 std::this_thread::sleep_for(std::chrono::seconds(2));
                 dlg.DestroyWindow();
             });
             splash.join();
             return INT_PTR{0};
         }},
        {"splash",
         [] {
             std::thread splash([] { SplashThreadProc(nullptr); });
             std::this_thread::sleep_for(std::chrono::seconds(3));
             g_bSplashDone = 1;
             splash.join();
             return INT_PTR{0};
         }},
        {"dialer",
         [] {
             DialupSetup dialup;
             CDialerDlg dlg(nullptr);
             return dlg.DoModal();
         }},
        {"connect",
         [] {
             DialupSetup dialup;
             auto argument = [](std::size_t i, const char* otherwise) {
                 return i < g_arguments.size() ? g_arguments[i] : std::string(otherwise);
             };
             CConnectDlg dlg(argument(0, "Office"), argument(1, "joe"), "secret", "",
                             static_cast<UINT>(std::stoul(argument(2, "10"))),
                             static_cast<UINT>(std::stoul(argument(3, "5"))));
             return dlg.DoModal();
         }},
        {"controls",
         [] {
             CControlsDlg dlg;
             const INT_PTR result = dlg.DoModal();
             std::fputs(dlg.m_strReport.c_str(), stdout);
             return result;
         }},
    };
    return dialogs;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string what = argv[1];
    g_arguments.assign(argv + 2, argv + argc);

    std::string error;
    platform::ui::UiBackendPtr ui = platform::ui::OpenFltkUi(error);
    if (!ui) {
        std::fprintf(stderr, "show-dialog: %s\n", error.c_str());
        return 1;
    }
    platform::ui::InstallUi(ui.get());
    // The launcher's resources and the test dialog.
    platform::ui::ResourceTable resources = LauncherResources();
    resources.dialogs.push_back(ControlsTemplate());
    platform::ui::SetResources(&resources);
    CShowDialogApp app;
    platform::X11WindowFinder windows;
    platform::InstallWindowFinder(&windows);

    long result = 0;
    if (what == "units") {
        const SIZE units = ui->DialogBaseUnits("MS Sans Serif", 8);
        std::printf("%ld %ld\n", static_cast<long>(units.cx), static_cast<long>(units.cy));
    } else if (what == "msgbox" && argc >= 4) {
        const UINT type = static_cast<UINT>(std::strtoul(argv[2], nullptr, 0));
        const std::string caption = argc >= 5 ? argv[4] : "Ostrel Sky.Vane";
        result = ui->MessageBox(argv[3], caption, type);
        std::printf("%ld\n", result);
    } else if (auto it = Dialogs().find(what); it != Dialogs().end()) {
        result = static_cast<long>(it->second());
        std::printf("%ld\n", result);
    } else {
        platform::ui::InstallUi(nullptr);
        platform::InstallWindowFinder(nullptr);
        return Usage();
    }
    std::fflush(stdout);
    platform::ui::InstallUi(nullptr);
    platform::InstallWindowFinder(nullptr);
    return 0;
}
