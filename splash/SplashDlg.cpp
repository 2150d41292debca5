#include "splash/SplashDlg.h"

#include "res/resource.h"

#include "platform/process.h"
#include "platform/winfind.h"

std::atomic<LONG> g_bSplashDone{0};

namespace {

// The caption of the console's window and of the launcher's own message boxes.
const char kAppTitle[] = "Ostrel Sky.Vane";
const DWORD kPollMilliseconds = 1000;

} // namespace

UINT SplashThreadProc(LPVOID) {
    CSplashDlg* pSplash = new CSplashDlg;
    pSplash->Create(IDD_SPLASH, nullptr);
    pSplash->ShowWindow(SW_SHOW);
    pSplash->UpdateWindow();

    // The first look comes at once; the flag is only read after a sleep.
    for (;;) {
        HWND hWnd = ::FindWindowA(nullptr, kAppTitle);
        if (hWnd) {
            ::SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            break;
        }
        ::Sleep(kPollMilliseconds);
        if (g_bSplashDone.load() != 0)
            break;
    }

    delete pSplash;
    return 0;
}

CSplashDlg::CSplashDlg() = default;

// The button member goes first, then the dialog: its window is destroyed before the dialog's.
CSplashDlg::~CSplashDlg() = default;

BEGIN_MESSAGE_MAP(CSplashDlg, CDialog)
END_MESSAGE_MAP()

void CSplashDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}

BOOL CSplashDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CenterWindow();

    m_btnIcon.SubclassDlgItem(IDC_ICON_BUTTON, this);
    // Room for the icon and its frame, whatever size the template gave.
    m_btnIcon.SetWindowPos(nullptr, 0, 0, ::GetSystemMetrics(SM_CXICON) + 8,
                           ::GetSystemMetrics(SM_CYICON) + 8,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}
