// VIZevu.exe on Windows: starts the launcher named in "launcher-path" beside it, with the same
// environment and current folder, and ends without waiting for it.
#include "client/boot/LauncherPath.h"

#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self, length < MAX_PATH ? length : 0);
    dir = dir.substr(0, dir.find_last_of("\\/") + 1);
    std::string launcher;
    if (!boot::FindLauncher(dir, &launcher)) {
        return 1;
    }

    // The program name alone, quoted: a path with blanks stays one name.
    std::string commandLine = "\"" + launcher + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(launcher.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
        std::fprintf(stderr, "VIZevu.exe: cannot start %s: error %lu\n", launcher.c_str(),
                     GetLastError());
        return 1;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return 0;
}
