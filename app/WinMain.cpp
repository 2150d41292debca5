// The launcher's entry on Windows: the registry, processes and windows are the system's own;
// the clock and the resources are installed here, then the framework runs the start-up
// sequence of the application object.
#include "app/LauncherApp.h"
#include "res/Resources.h"
#include "settings/KeyNames.h"

#include "platform/clock_system.h"
#include "platform/ras_service.h"
#include "platform/ui_resources.h"

#include "skyvane/version.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

CLauncherApp theApp;

namespace {

std::string Usage() {
    std::string text = "Usage: skyvane-launcher [COMMAND LINE]\r\n"
                       "       skyvane-launcher --help | --version\r\n"
                       "\r\n"
                       "Starts Ostrel Sky.Vane: makes sure a dial-up connection is up, offers\r\n"
                       "the updater every ten days, switches the browser to the local proxy and\r\n"
                       "to Java, runs the Java console and puts the browser back when it ends.\r\n"
                       "Any arguments are run as a command line in the console's place, with\r\n"
                       "the same preparation around it; --help and --version are options only\r\n"
                       "as the one argument. Press F1 in a dialog for the About box.\r\n"
                       "\r\n"
                       "Settings: the registry, below HKEY_LOCAL_MACHINE\\";
    text += SKYVANE_PRODUCT_KEY;
    text += "\r\n"
            "Environment:\r\n"
            "  SKYVANE_PHONEBOOK     the launcher's own dial-up phone book instead of Windows'\r\n"
            "  SKYVANE_DIALUP_STATE  with it, the folder of the connections that are up\r\n"
            "\r\n"
            "Exit status: 0 after a run.\r\n";
    return text;
}

// The text of --help and --version goes where the caller can read it: the output it gave us
// (a pipe, a file), else the console it runs in, else a message box.
void Tell(const std::string& text) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    bool attached = false;
    if (out == nullptr || out == INVALID_HANDLE_VALUE || ::GetFileType(out) == FILE_TYPE_UNKNOWN) {
        attached = ::AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
        out = attached ? ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr)
                       : INVALID_HANDLE_VALUE;
    }
    DWORD written = 0;
    if (out == INVALID_HANDLE_VALUE ||
        !::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        ::MessageBoxA(nullptr, text.c_str(), "Ostrel Sky.Vane", MB_OK | MB_ICONINFORMATION);
    if (attached) {
        ::CloseHandle(out);
        ::FreeConsole();
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd) {
    // The C runtime's split of the command line, as the Linux launcher sees its arguments.
    if (__argc == 2 && std::strcmp(__argv[1], "--help") == 0) {
        Tell(Usage());
        return 0;
    }
    if (__argc == 2 && std::strcmp(__argv[1], "--version") == 0) {
        Tell("skyvane-launcher " SKYVANE_VERSION "\r\n");
        return 0;
    }

    static platform::SystemClock clock;
    platform::InstallClock(&clock);
    platform::ui::SetResources(&LauncherResources());

    // The real rasapi32 serves unless SKYVANE_PHONEBOOK names the launcher's own phone book;
    // then the launcher's own dial-up service does. The Dialer itself has only "Undefined
    // RasEnumEntries Error." for a phone book it cannot read: the service says first which file
    // and line, and why.
    static std::unique_ptr<platform::DialupBackend> dialup =
        platform::OpenDialupFromEnvironment([](const std::vector<std::string>& faults) {
            std::string text = "Some of the phone book could not be read:\n";
            for (const std::string& fault : faults)
                text += "\n" + fault;
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        });
    if (dialup)
        platform::InstallDialup(dialup.get());

    const int code = AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nShowCmd);

    // The splash thread may still be polling: the process ends without waiting for it.
    std::_Exit(code);
}
