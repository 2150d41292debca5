// The application object: the whole program is the start-up sequence of InitInstance.
#pragma once

#include "platform/afxwin.h"

#include <memory>
#include <string>

class CBrowserSettings;

class CLauncherApp : public CWinApp {
  public:
    CLauncherApp();
    ~CLauncherApp() override;

    BOOL InitInstance() override;

    // Starts a command line hidden; waits up to waitMilliseconds (0: not at all). Returns the
    // exit code, STILL_ACTIVE for a child still running, 0 when it could not start, 1 when its
    // exit code could not be read.
    DWORD RunProgram(std::string commandLine, DWORD waitMilliseconds);
    // Number of dial-up connections that are up; 0 on any failure.
    int GetActiveConnectionCount();
    // TRUE to go on with the launch, FALSE when an update needs a restart.
    BOOL CheckForUpdate();
    // Switches the browser, shows the splash, runs the console (or the command-line tail) and
    // waits for it, then restores the browser.
    void LaunchConsole();

    void OnAppAbout();

    // The Java command prefix: interpreter, -classpath and class path, ending in one blank.
    std::string m_strJavaCommand;
    CBrowserSettings* m_pBrowserSettings = nullptr;

    DECLARE_MESSAGE_MAP()
};

// Builds the Java command prefix from the installation directory (with or without its trailing
// backslash). Pieces that contain a blank or a tab are quoted.
std::string BuildJavaCommand(const std::string& installDir);
// The installation directory with its trailing backslash ("" stays "").
std::string WithTrailingBackslash(const std::string& installDir);
// The boot program's command line for an installation directory.
std::string BuildBootCommand(const std::string& installDir);

extern CLauncherApp theApp;
