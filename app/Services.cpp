#include "app/Services.h"

#include "res/Resources.h"

#include "platform/afxwin.h"
#include "platform/ui_resources.h"

#include <cstdio>
#include <cstdlib>

void RunLauncher(int argc, char** argv, LauncherServices services) {
    platform::InstallRegistry(services.registry.get());
    platform::InstallProcess(services.processes);
    platform::InstallClock(services.clock);
    platform::InstallDialup(services.dialup);
    platform::InstallWindowFinder(services.windows);
    platform::ui::InstallUi(services.ui);
    platform::ui::SetResources(&LauncherResources());

    const int code = AfxWinMain(argc, argv);

    platform::InstallRegistry(nullptr);
    services.registry.reset();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
