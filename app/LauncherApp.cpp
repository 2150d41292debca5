#include "app/LauncherApp.h"
#include "settings/KeyNames.h"

#include "dialup/DialerDlg.h"
#include "settings/Registry.h"
#include "splash/AboutDlg.h"
#include "splash/SplashDlg.h"

#include "platform/process.h"
#include "platform/registry.h"

namespace {

const char* const kInstallKey = SKYVANE_INSTALL_KEY;

// A program name that cannot be written on a command line (it holds a quotation mark) is left
// as it stands; InitInstance refuses such an installation folder before anything runs.
std::string ProgramText(const std::string& program) {
    std::string text;
    return platform::ProgramNameText(program, &text) ? text : program;
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
    std::string command = ProgramText(dir + "jdk\\java.exe") + " -classpath ";
    command += platform::ArgumentText(dir + "jdk\\classes.zip;" + dir + "Classes");
    command += " ";
    return command;
}

std::string BuildBootCommand(const std::string& installDir) {
    return ProgramText(WithTrailingBackslash(installDir) + "VIZevu.exe");
}

BOOL CLauncherApp::InitInstance() {
    const std::string installDir = ReadRegString(HKEY_LOCAL_MACHINE, kInstallKey, "InstallDir");
    std::string probe;
    if (!platform::ProgramNameText(installDir, &probe)) {
        AfxMessageBox("Sky.Vane cannot start its programs: the installation folder \"" +
                          installDir + "\" holds a quotation mark.",
                      MB_OK | MB_ICONSTOP);
        return FALSE;
    }
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
