// What the Windows tests share: whether they run under Wine, whose libraries depart from the
// Windows documentation in a few places the tests name; the test program's folder; starting a
// program; and the top-level windows of a process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

inline bool RunsUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The folder of the running test program, with its trailing backslash; the build puts the
// programs the tests start beside it.
inline std::string OwnFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self(path, length);
    return self.substr(0, self.rfind('\\') + 1);
}

// CreateProcessA's answer for a command line: ok, GetLastError() after it, and the process
// information, whose process handle is 0x5A5A before the call (so a failed call that wrote it
// shows).
struct Started {
    BOOL ok = FALSE;
    DWORD error = 0;
    PROCESS_INFORMATION info{};
};

inline Started Start(const std::string& commandLine, DWORD flags = NORMAL_PRIORITY_CLASS) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    Started started;
    started.info.hProcess = reinterpret_cast<HANDLE>(0x5A5A);
    std::string writable = commandLine;
    SetLastError(ERROR_SUCCESS);
    started.ok = CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                nullptr, &startup, &started.info);
    started.error = GetLastError();
    return started;
}

inline DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

inline std::string Title(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The top-level windows of a process that the predicate accepts, in Z order.
inline std::vector<HWND> WindowsOf(DWORD pid, const std::function<bool(HWND)>& accept) {
    struct Search {
        DWORD pid;
        const std::function<bool(HWND)>* accept;
        std::vector<HWND> found;
    } search{pid, &accept, {}};
    EnumWindows(
        [](HWND w, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (ProcessOf(w) == s->pid && (*s->accept)(w))
                s->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
