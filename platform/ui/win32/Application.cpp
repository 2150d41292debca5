// The framework's entry from WinMain, message boxes and threads over the real API.
#include "platform/afxwin.h"

#include <process.h>

#include <memory>
#include <mutex>
#include <vector>

int AfxWinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (app->m_strAppName.empty())
        app->m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
    // The tail is run as it was typed: the system has no arguments to join again.
    app->m_lpCmdLine = lpCmdLine ? lpCmdLine : "";
    // Without a main window the framework runs no message loop: InitInstance is the program.
    app->InitInstance();
    return app->ExitInstance();
}

int AfxMessageBox(const std::string& text, UINT nType, UINT) {
    const std::string caption =
        AfxGetApp() ? AfxGetApp()->GetAppName() : AfxLoadString(AFX_IDS_APP_TITLE);
    // Owned by this thread's active window, which it disables while it is up.
    return ::MessageBoxA(::GetActiveWindow(), text.c_str(), caption.c_str(), nType);
}

namespace {

struct ThreadStart {
    AFX_THREADPROC proc;
    LPVOID param;
};

unsigned __stdcall ThreadEntry(void* p) {
    const ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    return start.proc(start.param);
}

} // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags, void*) {
    // The thread objects are kept for the life of the process, as the framework promises.
    static std::mutex mutex;
    static std::vector<std::unique_ptr<CWinThread>> threads;
    auto* start = new ThreadStart{pfnThreadProc, pParam};
    unsigned id = 0;
    // Made suspended so that it runs at its priority from its first instruction.
    const uintptr_t handle =
        _beginthreadex(nullptr, nStackSize, &ThreadEntry, start, CREATE_SUSPENDED, &id);
    if (handle == 0) {
        delete start;
        return nullptr;
    }
    auto thread = std::make_unique<CWinThread>();
    thread->m_hThread = reinterpret_cast<HANDLE>(handle);
    thread->m_nThreadID = id;
    ::SetThreadPriority(thread->m_hThread, nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        ::ResumeThread(thread->m_hThread);
    std::lock_guard<std::mutex> lock(mutex);
    threads.push_back(std::move(thread));
    return threads.back().get();
}
