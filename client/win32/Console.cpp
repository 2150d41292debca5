// The console's window: a heading, one read-only field per argument ("Browser:" and
// "Bookmarks:" for the two the launcher passes) and a Close button.
#include "client/win32/Console.h"

#include "client/jdk/StandIns.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace standin {
namespace {

constexpr UINT_PTR kAutoCloseTimer = 1;
constexpr int kCloseButton = 100;
constexpr int kMargin = 12;
constexpr int kLabelWidth = 90;
constexpr int kFieldWidth = 380;
constexpr int kRowHeight = 24;

HWND Child(HWND parent, const char* windowClass, const std::string& text, DWORD style, int x, int y,
           int width, int height, int id = 0) {
    HWND child = CreateWindowExA(
        0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
    return child;
}

LRESULT CALLBACK ConsoleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCloseButton) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_TIMER:
        if (wParam == kAutoCloseTimer) {
            KillTimer(window, kAutoCloseTimer);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int RunConsole(const std::vector<std::string>& args) {
    const char* argsFile = std::getenv("SKYVANE_CONSOLE_ARGS_FILE");
    if (argsFile != nullptr && *argsFile != '\0' &&
        !WriteArgumentRecord("Sky.Vane console", argsFile, args)) {
        return 1;
    }
    std::string complaint;
    const long long autoCloseMs =
        javaexe::ParseAutoCloseMs(std::getenv("SKYVANE_CONSOLE_AUTOCLOSE_MS"), &complaint);
    if (!complaint.empty()) {
        std::fprintf(stderr, "Sky.Vane console: %s\n", complaint.c_str());
    }

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ConsoleProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "SkyvaneConsole";
    if (RegisterClassA(&windowClass) == 0) {
        std::fprintf(stderr, "Sky.Vane console: cannot register its window: error %lu\n",
                     GetLastError());
        return 1;
    }

    // The launcher always passes two arguments; anything else is shown as it came.
    const int rows = std::max<int>(2, static_cast<int>(args.size()));
    const int clientWidth = kMargin * 3 + kLabelWidth + kFieldWidth;
    const int buttonTop = kMargin + 30 + rows * kRowHeight + 8;
    RECT frame = {0, 0, clientWidth, buttonTop + 26 + kMargin};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, javaexe::kConsoleTitle, style,
                                  std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2),
                                  std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2), width,
                                  height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "Sky.Vane console: cannot open its window: error %lu\n",
                     GetLastError());
        return 1;
    }

    Child(window, "STATIC", "The Sky.Vane client is running.", SS_LEFT, kMargin, kMargin,
          kLabelWidth + kFieldWidth, 20);
    const char* labels[] = {"Browser:", "Bookmarks:"};
    for (int i = 0; i < rows; ++i) {
        const int top = kMargin + 30 + i * kRowHeight;
        const std::string label = i < 2 ? labels[i] : "Argument " + std::to_string(i + 1) + ":";
        Child(window, "STATIC", label, SS_LEFT, kMargin, top + 3, kLabelWidth, 18);
        Child(window, "EDIT", i < static_cast<int>(args.size()) ? args[i] : "",
              WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, kMargin * 2 + kLabelWidth, top, kFieldWidth,
              21);
    }
    Child(window, "BUTTON", "Close", BS_DEFPUSHBUTTON | WS_TABSTOP, (clientWidth - 80) / 2,
          buttonTop, 80, 26, kCloseButton);

    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);
    if (autoCloseMs > 0) {
        SetTimer(window, kAutoCloseTimer,
                 static_cast<UINT>(std::min<long long>(autoCloseMs, USER_TIMER_MAXIMUM)), nullptr);
    }

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return 0;
}

} // namespace standin
