// The "Last Update" reading of the update check on any recorded text, at any moment from 1970
// to 2106 (the first four bytes of the input), with the question answered No: the check goes
// on with the launch; it either leaves the record as it was or records today, and records today
// exactly when it asked; and a second check at the same moment never asks.
#include "FuzzCheck.h"

#include "app/LauncherApp.h"
#include "res/Resources.h"

#include "platform/clock_fake.h"
#include "platform/process_fake.h"
#include "platform/registry_memory.h"
#include "platform/ui_headless.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

const char kProductKey[] = "SOFTWARE\\Ostrel Technologies\\Skyvane";
const char kLastUpdate[] = "Last Update";

std::string Recorded(platform::MemoryRegistry& registry) {
    platform::RegistryValue value;
    if (registry.QueryValue(HKEY_LOCAL_MACHINE, kProductKey, kLastUpdate, &value) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    return std::string(value.data.begin(), value.data.end());
}

// Checks once, answering No to the question if it comes; true when it came.
bool CheckAnsweringNo(CLauncherApp& app) {
    platform::ui::HeadlessUi ui;
    platform::ui::InstallUi(&ui);
    ui.Answer(IDNO);
    FUZZ_CHECK(app.CheckForUpdate() == TRUE);
    platform::ui::InstallUi(nullptr);
    FUZZ_CHECK(ui.Problems().empty());
    return !ui.MessageBoxes().empty();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC0", 1);
    tzset();
    platform::ui::SetResources(&LauncherResources());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::int64_t now = static_cast<std::int64_t>(data[0]) | (data[1] << 8) | (data[2] << 16) |
                             (static_cast<std::int64_t>(data[3]) << 24);
    const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);

    platform::MemoryRegistry registry;
    platform::FakeProcessBackend processes;
    platform::FakeClock clock(now);
    platform::InstallRegistry(&registry);
    platform::InstallProcess(&processes);
    platform::InstallClock(&clock);
    bool created = false;
    FUZZ_CHECK(registry.CreateKey(HKEY_LOCAL_MACHINE, kProductKey, "", &created) == ERROR_SUCCESS);
    platform::RegistryValue value{kLastUpdate, REG_SZ, {}};
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    FUZZ_CHECK(registry.SetValue(HKEY_LOCAL_MACHINE, kProductKey, value) == ERROR_SUCCESS);
    const std::string before = Recorded(registry);

    CLauncherApp app;
    const bool asked = CheckAnsweringNo(app);
    const CTime today(now);
    char todayText[48];
    std::snprintf(todayText, sizeof todayText, "%d %d %d", today.GetYear(), today.GetMonth(),
                  today.GetDay());
    const std::string after = Recorded(registry);
    if (asked) {
        FUZZ_CHECK(after == std::string(todayText) + '\0');
    } else {
        FUZZ_CHECK(after == before);
    }
    FUZZ_CHECK(!CheckAnsweringNo(app));
    FUZZ_CHECK(processes.Starts().empty());

    platform::InstallClock(nullptr);
    platform::InstallProcess(nullptr);
    platform::InstallRegistry(nullptr);
    return 0;
}
