#include "app/LauncherApp.h"

#include "dialup/DialerDlg.h"
#include "settings/Registry.h"
#include "splash/AboutDlg.h"
#include "splash/SplashDlg.h"

#include "platform/registry.h"

namespace {

const char kInstallKey[] = "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0";

// A path piece with a blank or a tab would fall apart into several arguments on the command
// line, so it is quoted as a whole.
std::string QuotedIfNeeded(const std::string& piece) {
    if (piece.find_first_of(" \t") == std::string::npos)
        return piece;
    return "\"" + piece + "\"";
}

} // namespace

BEGIN_MESSAGE_MAP(CLauncherApp, CWinApp)
ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
ON_COMMAND(ID_FILE_NEW, OnFileNew)
ON_COMMAND(ID_FILE_OPEN, OnFileOpen)
END_MESSAGE_MAP()

CLauncherApp::CLauncherApp() = default;

CLauncherApp::~CLauncherApp() = default;

std::string WithTrailingBackslash(const std::string& installDir) {
    if (!installDir.empty() && installDir.back() != '\\')
        return installDir + "\\";
    return installDir;
}

std::string BuildJavaCommand(const std::string& installDir) {
    const std::string dir = WithTrailingBackslash(installDir);
    std::string command = QuotedIfNeeded(dir + "jdk\\java.exe") + " -classpath ";
    command += QuotedIfNeeded(dir + "jdk\\classes.zip;" + dir + "Classes");
    command += " ";
    return command;
}

std::string BuildBootCommand(const std::string& installDir) {
    return QuotedIfNeeded(WithTrailingBackslash(installDir) + "VIZevu.exe");
}

BOOL CLauncherApp::InitInstance() {
    const std::string installDir = ReadRegString(HKEY_LOCAL_MACHINE, kInstallKey, "InstallDir");
    m_strJavaCommand = BuildJavaCommand(installDir);

    if (GetActiveConnectionCount() <= 0) {
        CDialerDlg dialer(nullptr);
        if (dialer.DoModal() == IDCANCEL)
            return FALSE;
    }

    if (CheckForUpdate()) {
        LaunchConsole();
        g_bSplashDone = 1;
        return FALSE;
    }

    RunProgram(BuildBootCommand(installDir), 0);
    return FALSE;
}

void CLauncherApp::OnAppAbout() {
    CAboutDlg about;
    about.DoModal();
}
