// The application object and the command-line helpers of the framework.
#include "platform/afxwin.h"
#include "platform/process.h"

#include <string>
#include <vector>

namespace {

CWinApp* g_app = nullptr;

} // namespace

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

std::string AfxQuoteArgument(const std::string& argument) {
    return platform::QuoteArgument(argument);
}

bool AfxJoinCommandLine(int argc, const char* const* argv, std::string* line) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    return platform::JoinCommandLine(args, line);
}
