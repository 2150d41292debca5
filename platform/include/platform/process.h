// The process service: starting programs, waiting for them, reading their exit codes, and
// Sleep. The functions forward to the backend installed with InstallProcess; the handles they
// hand out belong to this service and stay valid until CloseHandle, whatever backend runs.
//
// A command line is split into arguments by the Windows C runtime rules (see SplitCommandLine).
// Errors are Windows error codes, read with GetLastError on the calling thread.
#pragma once

#include "platform/windef.h"

#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
typedef STARTUPINFOA* LPSTARTUPINFOA;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

// STARTUPINFOA::dwFlags.
constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr DWORD STARTF_USESIZE = 0x00000002;
constexpr DWORD STARTF_USEPOSITION = 0x00000004;
constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;

// Creation flags. Priority classes and console flags are accepted and have no effect here.
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD IDLE_PRIORITY_CLASS = 0x00000040;
constexpr DWORD HIGH_PRIORITY_CLASS = 0x00000080;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;

// WaitForSingleObject.
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// GetExitCodeProcess of a process that has not ended.
constexpr DWORD STILL_ACTIVE = 259;

// Starts the program named by lpApplicationName, or else by the first argument of
// lpCommandLine. Backslashes in the program path are directory separators; a program named
// without a directory is looked up on PATH (no ".exe" is added). The child gets the arguments of
// the command line, the caller's environment (or the "NAME=value\0...\0\0" block lpEnvironment)
// and working directory (or lpCurrentDirectory), and no descriptors besides 0, 1 and 2; it is
// never run through a shell. FALSE with GetLastError: ERROR_FILE_NOT_FOUND (2),
// ERROR_PATH_NOT_FOUND (3), ERROR_ACCESS_DENIED (5), ERROR_BAD_EXE_FORMAT (193),
// ERROR_DIRECTORY (267) for a bad lpCurrentDirectory, ERROR_INVALID_PARAMETER (87) for a
// missing structure or command line. Nothing is started on failure.
BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                    LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                    LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation);
// Waits until the process (or its thread handle's process) has ended, at most dwMilliseconds
// (INFINITE: without limit; 0: only looks). WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// The exit code of an ended process, STILL_ACTIVE while it runs. A child ended by a signal
// reports 128 + the signal number, as shells do.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
// Closes a process or thread handle. The program itself goes on running.
BOOL CloseHandle(HANDLE hObject);
void Sleep(DWORD dwMilliseconds);
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
#endif // !_WIN32

namespace platform {

// Lets another service close the handles it gives out (registry transactions): CloseHandle
// passes it every handle that is not a process's or thread's; it answers whether it knew it.
void SetForeignHandleCloser(bool (*closer)(HANDLE hObject));

// Splits a command line into arguments by the rules of the Windows C runtime (2008 and later):
// - blanks and tabs separate arguments outside double quotes; an argument of only "" is empty;
// - the first argument, the program, ends at the first blank or tab outside quotes; its quotes
//   only group and backslashes in it are plain characters;
// - later arguments: 2n backslashes before a quote give n backslashes and the quote opens or
//   closes a quoted part; 2n+1 backslashes before a quote give n backslashes and a literal
//   quote; backslashes before anything else are literal; inside a quoted part "" gives one
//   literal quote and the part goes on; a line that ends inside quotes ends the argument.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The inverses of SplitCommandLine, each piece by its own rule, so that a join then a split
// gives back every argument.
// A later argument enclosed in quotation marks: backslashes before a quotation mark (or the
// closing one) are doubled and quotation marks escaped.
std::string QuoteArgument(const std::string& argument);
// A later argument as it stands when it splits back alone (not empty, no blank, tab or quote),
// else quoted.
std::string ArgumentText(const std::string& argument);
// The program name as it stands, or enclosed in quotation marks when it is empty or holds a
// blank or a tab. False when it holds a quotation mark: no command line can carry one there.
bool ProgramNameText(const std::string& program, std::string* text);
// The program name and later arguments as one line; false (and *line untouched) when the
// program name cannot be written.
bool JoinCommandLine(const std::vector<std::string>& args, std::string* line);

// A program started by a backend. The service holds it while a handle to it is open.
class ChildProcess {
  public:
    virtual ~ChildProcess() = default;

    // WAIT_OBJECT_0 once the child has ended, WAIT_TIMEOUT, or WAIT_FAILED with *error set.
    virtual DWORD Wait(DWORD milliseconds, DWORD* error) = 0;
    // ERROR_SUCCESS and the exit code (STILL_ACTIVE while running), or an error code.
    virtual DWORD ExitCode(DWORD* exitCode) = 0;
    virtual DWORD ProcessId() const = 0;
};

// What CreateProcessA was asked for, in a form a backend can use.
struct ProcessStart {
    std::string applicationName; // "" when none was given
    std::string commandLine;
    BOOL inheritHandles = FALSE;
    DWORD creationFlags = 0;
    bool hasEnvironment = false;
    std::vector<std::string> environment; // "NAME=value" entries, when hasEnvironment
    bool hasCurrentDirectory = false;
    std::string currentDirectory;
    STARTUPINFOA startupInfo{};
};

class ProcessBackend {
  public:
    virtual ~ProcessBackend() = default;

    // ERROR_SUCCESS with *child set, or an error code and nothing started.
    virtual DWORD Start(const ProcessStart& request, std::shared_ptr<ChildProcess>* child) = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
};

// Installs the backend behind the process functions (not owned; null uninstalls). Without a
// backend CreateProcessA fails with ERROR_INVALID_FUNCTION and Sleep sleeps in real time.
void InstallProcess(ProcessBackend* backend);
ProcessBackend* InstalledProcess();

// Number of process and thread handles not yet closed (for finding leaks).
int OpenProcessHandleCount();

} // namespace platform

#ifdef _WIN32
namespace platform {

// Sleep on a thread that owns windows: meanwhile they keep painting (their paint requests are
// handled, nothing else), as the framework's windows do on Linux, where the ui paints them
// whatever the thread does. The program's Sleep calls come here on Windows.
inline void SleepPaintingWindows(DWORD dwMilliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + dwMilliseconds;
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
            ::DispatchMessageA(&msg);
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                    QS_PAINT);
    }
}

} // namespace platform
#define Sleep(dwMilliseconds) platform::SleepPaintingWindows(dwMilliseconds)
#endif // _WIN32
