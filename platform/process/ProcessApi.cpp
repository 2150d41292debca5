// The process functions of the Windows API, forwarded to the installed backend. Handles are
// numbers given out here; each names a child object that lives while a handle to it is open.
#include "platform/process.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::atomic<ProcessBackend*> g_backend{nullptr};
thread_local DWORD t_lastError = ERROR_SUCCESS;

struct HandleEntry {
    std::shared_ptr<ChildProcess> child;
    bool isThread = false;
};

std::atomic<bool (*)(HANDLE)> g_foreignCloser{nullptr};

std::mutex g_handleMutex;
std::map<uintptr_t, HandleEntry> g_handles;
// Handle values are multiples of 4 as on Windows and never reused, so a closed handle stays
// invalid.
uintptr_t g_nextHandle = 0x1000;

HANDLE AddHandle(const std::shared_ptr<ChildProcess>& child, bool isThread) {
    std::lock_guard lock(g_handleMutex);
    uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_handles[value] = HandleEntry{child, isThread};
    return reinterpret_cast<HANDLE>(value);
}

bool FindHandle(HANDLE handle, HandleEntry* entry) {
    std::lock_guard lock(g_handleMutex);
    auto it = g_handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == g_handles.end()) {
        return false;
    }
    *entry = it->second;
    return true;
}

// "A=1\0B=2\0\0" into its entries.
std::vector<std::string> ReadEnvironmentBlock(const char* block) {
    std::vector<std::string> entries;
    while (*block != '\0') {
        size_t length = std::strlen(block);
        entries.emplace_back(block, length);
        block += length + 1;
    }
    return entries;
}

BOOL Fail(DWORD error) {
    t_lastError = error;
    return FALSE;
}

} // namespace

void InstallProcess(ProcessBackend* backend) {
    g_backend.store(backend);
}

ProcessBackend* InstalledProcess() {
    return g_backend.load();
}

int OpenProcessHandleCount() {
    std::lock_guard lock(g_handleMutex);
    return static_cast<int>(g_handles.size());
}

} // namespace platform

using platform::HandleEntry;

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                    LPSECURITY_ATTRIBUTES /*lpProcessAttributes*/,
                    LPSECURITY_ATTRIBUTES /*lpThreadAttributes*/, BOOL bInheritHandles,
                    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                    LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation) {
    if (lpStartupInfo == nullptr || lpProcessInformation == nullptr ||
        (lpApplicationName == nullptr && lpCommandLine == nullptr)) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    platform::ProcessBackend* backend = platform::InstalledProcess();
    if (backend == nullptr) {
        return platform::Fail(ERROR_INVALID_FUNCTION);
    }

    platform::ProcessStart request;
    if (lpApplicationName != nullptr) {
        request.applicationName = lpApplicationName;
    }
    if (lpCommandLine != nullptr) {
        request.commandLine = lpCommandLine;
    }
    request.inheritHandles = bInheritHandles;
    request.creationFlags = dwCreationFlags;
    if (lpEnvironment != nullptr) {
        request.hasEnvironment = true;
        request.environment =
            platform::ReadEnvironmentBlock(static_cast<const char*>(lpEnvironment));
    }
    if (lpCurrentDirectory != nullptr) {
        request.hasCurrentDirectory = true;
        request.currentDirectory = lpCurrentDirectory;
    }
    request.startupInfo = *lpStartupInfo;

    std::shared_ptr<platform::ChildProcess> child;
    DWORD error = backend->Start(request, &child);
    if (error == ERROR_SUCCESS && child == nullptr) {
        error = ERROR_INVALID_FUNCTION;
    }
    if (error != ERROR_SUCCESS) {
        return platform::Fail(error);
    }
    lpProcessInformation->hProcess = platform::AddHandle(child, false);
    lpProcessInformation->hThread = platform::AddHandle(child, true);
    // The main thread of a Linux process carries the process's id.
    lpProcessInformation->dwProcessId = child->ProcessId();
    lpProcessInformation->dwThreadId = child->ProcessId();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    HandleEntry entry;
    if (!platform::FindHandle(hHandle, &entry)) {
        platform::t_lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    // The table's lock is not held here: other threads may close or wait meanwhile, and the
    // child object lives on through this reference.
    DWORD error = ERROR_SUCCESS;
    DWORD result = entry.child->Wait(dwMilliseconds, &error);
    if (result == WAIT_FAILED) {
        platform::t_lastError = error;
    }
    return result;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    HandleEntry entry;
    if (!platform::FindHandle(hProcess, &entry) || entry.isThread) {
        return platform::Fail(ERROR_INVALID_HANDLE);
    }
    if (lpExitCode == nullptr) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    DWORD exitCode = 0;
    DWORD error = entry.child->ExitCode(&exitCode);
    if (error != ERROR_SUCCESS) {
        return platform::Fail(error);
    }
    *lpExitCode = exitCode;
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
    std::shared_ptr<platform::ChildProcess> released;
    {
        std::lock_guard lock(platform::g_handleMutex);
        auto it = platform::g_handles.find(reinterpret_cast<uintptr_t>(hObject));
        if (it == platform::g_handles.end()) {
            bool (*closer)(HANDLE) = platform::g_foreignCloser.load();
            if (closer != nullptr && closer(hObject)) {
                return TRUE;
            }
            return platform::Fail(ERROR_INVALID_HANDLE);
        }
        // Destroyed outside the lock: a backend's child may do work when let go.
        released = std::move(it->second.child);
        platform::g_handles.erase(it);
    }
    return TRUE;
}

void platform::SetForeignHandleCloser(bool (*closer)(HANDLE hObject)) {
    g_foreignCloser.store(closer);
}

void Sleep(DWORD dwMilliseconds) {
    if (platform::ProcessBackend* backend = platform::InstalledProcess()) {
        backend->Sleep(dwMilliseconds);
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(24));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD GetLastError() {
    return platform::t_lastError;
}

void SetLastError(DWORD dwErrCode) {
    platform::t_lastError = dwErrCode;
}
