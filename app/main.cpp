// The launcher's entry: picks the real backend of every service, then hands over to the
// framework, which runs the start-up sequence of the application object.
#include "app/LauncherApp.h"
#include "app/Services.h"

#include "platform/clock_system.h"
#include "platform/process_posix.h"
#include "platform/ras_service.h"
#include "platform/registry_sqlite.h"
#include "platform/ui_fltk.h"
#include "platform/winfind_x11.h"

#include "skyvane/version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

CLauncherApp theApp;

namespace {

const char kUsage[] =
    "Usage: skyvane-launcher [COMMAND LINE]\n"
    "       skyvane-launcher --help | --version\n"
    "\n"
    "Starts Ostrel Sky.Vane: makes sure a dial-up connection is up, offers the updater every ten\n"
    "days, switches the browser to the local proxy and to Java, runs the Java console and puts\n"
    "the browser back when it ends. Any arguments are run as a command line in the console's\n"
    "place, with the same preparation around it; --help and --version are options only as the\n"
    "one argument. Press F1 in a dialog for the About box.\n"
    "\n"
    "Environment:\n"
    "  SKYVANE_REGISTRY      registry store (default $XDG_DATA_HOME/skyvane/registry.db)\n"
    "  SKYVANE_PHONEBOOK     dial-up phone book (default $XDG_CONFIG_HOME/skyvane/phonebook.pbk)\n"
    "  SKYVANE_DIALUP_STATE  connections that are up (default $XDG_RUNTIME_DIR/skyvane/)\n"
    "\n"
    "Exit status: 0 after a run, 1 when the launcher cannot start (no display, a registry store\n"
    "it cannot use).\n";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("skyvane-launcher " SKYVANE_VERSION);
        return 0;
    }

    std::string error;
    platform::ui::UiBackendPtr ui = platform::ui::OpenFltkUi(error);
    if (!ui) {
        std::fprintf(stderr, "skyvane-launcher: %s\n", error.c_str());
        return 1;
    }

    const std::string storePath = platform::DefaultRegistryPath();
    std::unique_ptr<platform::SqliteRegistry> registry =
        platform::SqliteRegistry::Open(storePath, &error);
    if (!registry) {
        // Nothing is changed: the store is left exactly as it was found.
        std::fprintf(stderr, "skyvane-launcher: cannot use the registry store %s: %s\n",
                     storePath.c_str(), error.c_str());
        return 1;
    }

    platform::PosixProcessBackend processes;
    platform::SystemClock clock;
    platform::DialupServiceOptions dialupOptions =
        platform::DialupServiceOptions::FromEnvironment();
    // The Dialer itself has only "Undefined RasEnumEntries Error." for a phone book it cannot
    // read: the service says first which file and line, and why.
    dialupOptions.reportPhoneBookFaults = [](const std::vector<std::string>& faults) {
        std::string text = "Some of the phone book could not be read:\n";
        for (const std::string& fault : faults) {
            text += "\n" + fault;
        }
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    };
    platform::DialupService dialup(std::move(dialupOptions));
    platform::X11WindowFinder windows;

    RunLauncher(argc, argv, {std::move(registry), &processes, &clock, &dialup, &windows, ui.get()});
}
