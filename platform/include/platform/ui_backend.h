// Choosing the ui backend. What a backend is and does is private to the framework and its
// backends; the program and the test fixtures only open one and install it, as with every
// other service.
#pragma once

#include <memory>

namespace platform::ui {

class UiBackend;

struct UiBackendDeleter {
    void operator()(UiBackend* backend) const;
};
// A backend opened by its factory (OpenFltkUi) and owned by the caller.
using UiBackendPtr = std::unique_ptr<UiBackend, UiBackendDeleter>;

// Installs the ui backend (not owned; null uninstalls).
void InstallUi(UiBackend* backend);
UiBackend* InstalledUi();

} // namespace platform::ui
