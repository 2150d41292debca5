// CLauncherApp::LaunchConsole: the browser switched over, the splash shown, the console (or the
// command-line tail) run and waited for, the browser put back.
#include "app/LauncherApp.h"
#include "platform/ascii.h"
#include "settings/KeyNames.h"

#include "browsers/ExplorerSettings.h"
#include "browsers/NetscapeSettings.h"
#include "settings/Registry.h"
#include "splash/SplashDlg.h"

#include <cctype>

namespace {

const char* const kProductKey = SKYVANE_PRODUCT_KEY;
const char kConsoleClass[] = "Ostrel.Server.console.Skyvane ";

} // namespace

void CLauncherApp::LaunchConsole() {
    const std::string strTail = m_lpCmdLine;

    const std::string strBrowser =
        platform::AsciiLowered(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"));
    if (strBrowser.find("iexplore.exe") != std::string::npos)
        m_pBrowserSettings = new CExplorerSettings;
    else
        m_pBrowserSettings = new CNetscapeSettings;

    m_pBrowserSettings->ApplySettings();

    // Nobody waits for the thread: it ends when the console's window comes up, or with us.
    AfxBeginThread(SplashThreadProc, nullptr, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);

    if (strTail.empty()) {
        const std::string strBookmarks = m_pBrowserSettings->GetBookmarksPath();
        // Quoted by the Windows rules: a folder ending in a backslash must not swallow the
        // closing quotation mark. Ordinary paths are only enclosed.
        const std::string strCommand = m_strJavaCommand + kConsoleClass +
                                       AfxQuoteArgument(strBrowser) + " " +
                                       AfxQuoteArgument(strBookmarks);
        RunProgram(strCommand, INFINITE);
    } else {
        RunProgram(strTail, INFINITE);
    }

    m_pBrowserSettings->RestoreSettings();
    delete m_pBrowserSettings;
    m_pBrowserSettings = nullptr;
}
