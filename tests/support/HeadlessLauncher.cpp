// The launcher's whole start-up sequence without a display, for tests that run it as a process
// of its own (and kill it): the real store ($SKYVANE_REGISTRY) and the real process backend, a
// dial-up connection that is up (so no Dialer), no windows on the screen and the headless ui,
// which answers every message box with its default button. Arguments run in the console's
// place, as for the launcher. With SKYVANE_HEADLESS_NO_TRANSACTIONS=1 the store acts as the
// registry of a system without registry transactions.
#include "app/LauncherApp.h"
#include "app/Services.h"
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
#include <utility>

CLauncherApp theApp;

namespace {

// The real store behind a forwarder that can refuse transactions; closing it closes the store.
struct ForwardingStore : ForwardingRegistry {
    explicit ForwardingStore(std::unique_ptr<platform::SqliteRegistry> store)
        : ForwardingRegistry(store.get()), m_pStore(std::move(store)) {}
    std::unique_ptr<platform::SqliteRegistry> m_pStore;
};

} // namespace

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
    auto store = std::make_unique<ForwardingStore>(std::move(registry));
    const char* noTransactions = std::getenv("SKYVANE_HEADLESS_NO_TRANSACTIONS");
    store->m_bNoTransactions = noTransactions != nullptr && std::string(noTransactions) == "1";
    platform::PosixProcessBackend processes;
    platform::SystemClock clock;
    platform::FakeDialup dialup;
    dialup.AddConnection(0x101, "Ostrel Online");
    platform::FakeWindowFinder windows;
    platform::ui::HeadlessUi ui;

    RunLauncher(argc, argv, {std::move(store), &processes, &clock, &dialup, &windows, &ui});
}
