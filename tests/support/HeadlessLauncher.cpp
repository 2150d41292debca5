// The launcher's whole start-up sequence without a display, for tests that run it as a process
// of its own (and kill it): the real store ($SKYVANE_REGISTRY) and the real process backend, a
// dial-up connection that is up (so no Dialer), no windows on the screen and the headless ui,
// which answers every message box with its default button. Arguments run in the console's
// place, as for the launcher. With SKYVANE_HEADLESS_NO_TRANSACTIONS=1 the store acts as the
// registry of a system without registry transactions.
#include "app/LauncherApp.h"
#include "res/Resources.h"
#include "support/ForwardingRegistry.h"

#include "platform/clock_system.h"
#include "platform/process_posix.h"
#include "platform/ras_fake.h"
#include "platform/registry_sqlite.h"
#include "platform/ui_headless.h"
#include "platform/winfind_fake.h"

#include <cstdio>
#include <cstdlib>
#include <string>

CLauncherApp theApp;

int main(int argc, char** argv) {
    std::string error;
    const std::string storePath = platform::DefaultRegistryPath();
    std::unique_ptr<platform::SqliteRegistry> registry =
        platform::SqliteRegistry::Open(storePath, &error);
    if (!registry) {
        std::fprintf(stderr, "headless launcher: cannot use the store %s: %s\n", storePath.c_str(),
                     error.c_str());
        return 1;
    }
    ForwardingRegistry store(registry.get());
    const char* noTransactions = std::getenv("SKYVANE_HEADLESS_NO_TRANSACTIONS");
    store.m_bNoTransactions = noTransactions != nullptr && std::string(noTransactions) == "1";
    platform::PosixProcessBackend processes;
    platform::SystemClock clock;
    platform::FakeDialup dialup;
    dialup.AddConnection(0x101, "Ostrel Online");
    platform::FakeWindowFinder windows;
    platform::ui::HeadlessUi ui;

    platform::InstallRegistry(&store);
    platform::InstallProcess(&processes);
    platform::InstallClock(&clock);
    platform::InstallDialup(&dialup);
    platform::InstallWindowFinder(&windows);
    platform::ui::InstallUi(&ui);
    platform::ui::SetResources(&LauncherResources());

    const int code = AfxWinMain(argc, argv);

    // As the launcher does: the splash thread may still poll, so the process ends without
    // tearing down what it might use, the store closed first.
    platform::InstallRegistry(nullptr);
    registry.reset();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
