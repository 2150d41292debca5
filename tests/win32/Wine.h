// What the Windows tests share: whether they run under Wine, whose libraries depart from the
// Windows documentation in a few places the tests name; the test program's folder; starting a
// program; and the top-level windows of a process, and waiting for one.
#pragma once

#include "support/Wait.h"

#include <windows.h>

#include <functional>
#include <string>

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

// `folder`: the program's current folder; null for this one's.
inline Started Start(const std::string& commandLine, DWORD flags = NORMAL_PRIORITY_CLASS,
                     const char* folder = nullptr) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    Started started;
    started.info.hProcess = reinterpret_cast<HANDLE>(0x5A5A);
    std::string writable = commandLine;
    SetLastError(ERROR_SUCCESS);
    started.ok = CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                folder, &startup, &started.info);
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

// The first top-level window of a process, in Z order, that the predicate accepts; null for
// none.
inline HWND WindowOf(DWORD pid, const std::function<bool(HWND)>& accept) {
    struct Search {
        DWORD pid;
        const std::function<bool(HWND)>* accept;
        HWND found;
    } search{pid, &accept, nullptr};
    EnumWindows(
        [](HWND w, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (ProcessOf(w) != s->pid || !(*s->accept)(w))
                return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
