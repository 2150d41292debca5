// The application object, the entry, message boxes, threads, resources and the small helpers of
// the framework.
#include "UiBackend.h"
#include "platform/ascii.h"
#include "platform/process.h"
#include "platform/ui_resources.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

CWinApp* g_app = nullptr;
const platform::ui::ResourceTable* g_resources = nullptr;

} // namespace

// ---------------------------------------------------------------------------------------------
// Resources.

namespace platform::ui {

void SetResources(const ResourceTable* resources) {
    g_resources = resources;
}
const ResourceTable* Resources() {
    return g_resources;
}

namespace {

// The resource of this id among the program's templates or icons; null when there is none.
template <class T> const T* FindById(std::vector<T> ResourceTable::*kind, UINT id) {
    if (!g_resources)
        return nullptr;
    for (const T& resource : g_resources->*kind)
        if (resource.id == id)
            return &resource;
    return nullptr;
}

} // namespace

const DialogTemplate* FindDialogTemplate(UINT id) {
    return FindById(&ResourceTable::dialogs, id);
}

const IconImage* FindIcon(UINT id) {
    return FindById(&ResourceTable::icons, id);
}

bool IconFromXpm(UINT id, const char* const* xpm, IconImage* icon) {
    if (!xpm || !xpm[0])
        return false;
    int width = 0, height = 0, colours = 0, cpp = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &cpp) != 4 || width <= 0 ||
        height <= 0 || colours <= 0 || cpp <= 0 || cpp > 4)
        return false;
    std::map<std::string, uint32_t> palette;
    for (int i = 0; i < colours; ++i) {
        const char* line = xpm[1 + i];
        if (!line || static_cast<int>(std::strlen(line)) < cpp)
            return false;
        std::string key(line, static_cast<size_t>(cpp));
        std::string rest(line + cpp);
        size_t c = rest.find(" c ");
        if (c == std::string::npos)
            c = rest.find("\tc ");
        if (c == std::string::npos)
            return false;
        std::string value = rest.substr(c + 3);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        uint32_t argb = 0;
        const std::string lower = platform::AsciiLowered(value);
        if (lower == "none") {
            argb = 0;
        } else if (value.size() == 7 && value[0] == '#') {
            argb =
                0xFF000000u | static_cast<uint32_t>(std::strtoul(value.c_str() + 1, nullptr, 16));
        } else {
            return false;
        }
        palette[key] = argb;
    }
    icon->id = id;
    icon->width = width;
    icon->height = height;
    icon->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const char* row = xpm[1 + colours + y];
        if (!row || static_cast<int>(std::strlen(row)) < width * cpp)
            return false;
        for (int x = 0; x < width; ++x) {
            auto it = palette.find(std::string(row + x * cpp, static_cast<size_t>(cpp)));
            if (it == palette.end())
                return false;
            icon->pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                         static_cast<size_t>(x)] = it->second;
        }
    }
    return true;
}

} // namespace platform::ui

std::string AfxLoadString(UINT nID) {
    if (!g_resources)
        return std::string();
    auto it = g_resources->strings.find(nID);
    return it == g_resources->strings.end() ? std::string() : it->second;
}

// ---------------------------------------------------------------------------------------------
// The application.

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) {
    if (lpszAppName)
        m_strAppName = lpszAppName;
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}
int CWinApp::ExitInstance() {
    return 0;
}

std::string CWinApp::GetAppName() const {
    return m_strAppName.empty() ? AfxLoadString(AFX_IDS_APP_TITLE) : m_strAppName;
}

CWinApp* AfxGetApp() {
    return g_app;
}

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
    std::string caption = g_app ? g_app->GetAppName() : AfxLoadString(AFX_IDS_APP_TITLE);
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

// ---------------------------------------------------------------------------------------------
// Helpers.

std::string AfxQuoteArgument(const std::string& argument) {
    return platform::QuoteArgument(argument);
}

bool AfxJoinCommandLine(int argc, const char* const* argv, std::string* line) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    return platform::JoinCommandLine(args, line);
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
