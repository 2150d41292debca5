// The services a run of the launcher uses, and the run itself: the launcher's entry and the
// headless launcher of the tests pick the backends, this installs them and runs the program.
#pragma once

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/ras.h"
#include "platform/registry.h"
#include "platform/ui_backend.h"
#include "platform/winfind.h"

#include <memory>

struct LauncherServices {
    std::unique_ptr<platform::RegistryBackend> registry; // closed before the process ends
    platform::ProcessBackend* processes = nullptr;
    platform::ClockBackend* clock = nullptr;
    platform::DialupBackend* dialup = nullptr;
    platform::WindowFinder* windows = nullptr;
    platform::ui::UiBackend* ui = nullptr;
};

// Installs the services and the launcher's resources, runs the application object and ends the
// process with its exit code. The splash thread may still be polling then: the process ends
// without waiting for it and without tearing down what it might use; the store is closed
// first, so that nothing written is lost.
[[noreturn]] void RunLauncher(int argc, char** argv, LauncherServices services);
