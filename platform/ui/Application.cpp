// The framework's entry, message boxes, threads and registered messages over the ui backend.
#include "UiBackend.h"
#include "platform/ascii.h"
#include "platform/ui_resources.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (app->m_strAppName.empty())
        app->m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
    // The arguments after ours are a program's command line, run in the console's place. A
    // program name with a quotation mark cannot be written on one: it would run as another.
    if (argc > 1 && !AfxJoinCommandLine(argc - 1, argv + 1, &app->m_lpCmdLine)) {
        AfxMessageBox("The program \"" + std::string(argv[1]) +
                          "\" cannot be started: a program name may not hold a quotation mark.",
                      MB_OK | MB_ICONSTOP);
        return 1;
    }
    // Without a main window the framework runs no message loop: InitInstance is the program.
    app->InitInstance();
    return app->ExitInstance();
}

int AfxMessageBox(const std::string& text, UINT nType, UINT) {
    platform::ui::UiBackend* ui = platform::ui::InstalledUi();
    if (!ui)
        return 0;
    std::string caption =
        AfxGetApp() ? AfxGetApp()->GetAppName() : AfxLoadString(AFX_IDS_APP_TITLE);
    return ui->MessageBox(text, caption, nType);
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int, UINT, DWORD, void*) {
    // The thread objects are kept for the life of the process, as the framework promises.
    static std::mutex mutex;
    static std::vector<std::unique_ptr<CWinThread>> threads;
    CWinThread* thread = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        threads.push_back(std::make_unique<CWinThread>());
        thread = threads.back().get();
    }
    std::thread([pfnThreadProc, pParam] { pfnThreadProc(pParam); }).detach();
    return thread;
}

UINT RegisterWindowMessageA(LPCSTR lpString) {
    static std::mutex mutex;
    static std::map<std::string, UINT> registered;
    if (!lpString || !*lpString)
        return 0;
    const std::string key = platform::AsciiLowered(lpString);
    std::lock_guard<std::mutex> lock(mutex);
    auto it = registered.find(key);
    if (it != registered.end())
        return it->second;
    UINT next = 0xC000u + static_cast<UINT>(registered.size());
    if (next > 0xFFFFu)
        return 0;
    registered[key] = next;
    return next;
}
