// CLauncherApp::RunProgram: the one place where the launcher starts another program.
#include "app/LauncherApp.h"

#include "platform/process.h"

#include <vector>

DWORD CLauncherApp::RunProgram(std::string commandLine, DWORD waitMilliseconds) {
    // Started hidden: a console-mode program such as the Java interpreter keeps its console
    // window out of sight; a window the child wants seen it shows itself.
    STARTUPINFOA startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    startupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startupInfo.wShowWindow = static_cast<WORD>(SW_HIDE);

    // CreateProcessA may write into the command line it is given.
    std::vector<char> writableCommandLine(commandLine.begin(), commandLine.end());
    writableCommandLine.push_back('\0');

    PROCESS_INFORMATION processInfo{};
    if (!CreateProcessA(nullptr, writableCommandLine.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startupInfo, &processInfo)) {
        AfxMessageBox("Error executing " + commandLine, MB_OK);
        return 0;
    }

    // A time-out and the child's end are treated alike: the exit code tells them apart.
    if (waitMilliseconds != 0) {
        WaitForSingleObject(processInfo.hProcess, waitMilliseconds);
    }

    DWORD exitCode = 0;
    BOOL haveExitCode = GetExitCodeProcess(processInfo.hProcess, &exitCode);
    CloseHandle(processInfo.hProcess);
    CloseHandle(processInfo.hThread);
    return haveExitCode ? exitCode : 1;
}
