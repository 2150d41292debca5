// The whole run of the Windows launcher under Wine, judged by Wine's own user32 and registry:
// the demo installation made by demo/setup-windows.sh (a folder with a blank, the registry
// seeded with Wine's reg import), no connection up, so the Dialer comes first.
#include "browsers/RegistryProbe.h"
#include "res/resource.h"
#include "support/TextFiles.h"
#include "support/WholeRunExpectations.h"
#include "win32/Wine.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

// Every value below `path` of `root` as the browser tests' snapshots give them, one line each
// (key, name, type, bytes); keys in the order the registry lists them. "" for a missing key.
std::string DumpKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    std::string out;
    for (const std::string& value : probe::Snapshot(root, path))
        out += path + " | " + value + "\n";
    char name[256];
    for (DWORD i = 0, size = sizeof name;
         RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = sizeof name)
        out += DumpKey(root, path + "\\" + name);
    RegCloseKey(key);
    return out;
}

// The user's keys where the two browsers keep the settings the launcher switches.
std::string BrowserKeys() {
    return DumpKey(HKEY_CURRENT_USER, "Software\\Netscape") +
           DumpKey(HKEY_CURRENT_USER,
                   "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
}

bool Topmost(HWND window) {
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

class WholeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        installDir = probe::Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0",
                                  "InstallDir")
                         .Text();
        ASSERT_NE("", installDir) << "no demo installation: demo/setup-windows.sh seeds it";
        ASSERT_NE(std::string::npos, installDir.find(' ')) << installDir;
        ASSERT_EQ('\\', installDir.back()) << installDir;
        // The demo's folder holds the installation folder, the phone book and the dial-up state.
        const std::string inside = installDir.substr(0, installDir.size() - 1);
        demoDir = inside.substr(0, inside.rfind('\\') + 1);
        ASSERT_NE(INVALID_FILE_ATTRIBUTES,
                  GetFileAttributesA((installDir + "skyvane-launcher.exe").c_str()));
        before = BrowserKeys();
        ASSERT_NE("", before);
    }

    void TearDown() override {
        if (launcher.hProcess) {
            if (WaitForSingleObject(launcher.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(launcher.hProcess, 1);
            CloseHandle(launcher.hProcess);
            CloseHandle(launcher.hThread);
        }
    }

    // The launcher, with the installation folder as its working folder and the demo's dial-up
    // service; `extra` adds NAME=VALUE settings for the programs it starts.
    void StartLauncher(const std::vector<std::pair<std::string, std::string>>& extra = {}) {
        SetEnvironmentVariableA("SKYVANE_PHONEBOOK", (demoDir + "phonebook.pbk").c_str());
        SetEnvironmentVariableA("SKYVANE_DIALUP_STATE", (demoDir + "dialup-state").c_str());
        SetEnvironmentVariableA("SKYVANE_DIALUP_STEP_MS", "1");
        for (const auto& setting : extra)
            SetEnvironmentVariableA(setting.first.c_str(), setting.second.c_str());
        const Started started =
            Start("\"" + installDir + "skyvane-launcher.exe\"", 0, installDir.c_str());
        ASSERT_TRUE(started.ok) << started.error;
        launcher = started.info;
    }

    // The exit code, or -1 when the launcher is still running after `seconds`.
    long WaitExit(double seconds) {
        if (WaitForSingleObject(launcher.hProcess, static_cast<DWORD>(seconds * 1000)) !=
            WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(launcher.hProcess, &code);
        return static_cast<long>(code);
    }

    // The Dialer, shown because no connection is up; Start Without Dialing clicked.
    void StartWithoutDialing() {
        HWND dialer = WaitForValue(
            [&] {
                HWND w = FindWindowA(nullptr, "Ostrel Sky.Vane Dialer");
                // Shown, so its controls are made.
                return w && ProcessOf(w) == launcher.dwProcessId && IsWindowVisible(w) ? w
                                                                                       : nullptr;
            },
            60);
        ASSERT_NE(nullptr, dialer) << "no Dialer";
        // The phone book's seven entries, the last connection chosen.
        HWND list = GetDlgItem(dialer, IDC_ENTRY_LIST);
        ASSERT_NE(nullptr, list);
        EXPECT_TRUE(WaitFor([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == 7; }, 5))
            << SendMessageA(list, LB_GETCOUNT, 0, 0) << " entries";
        HWND start = GetDlgItem(dialer, IDC_START_WITHOUT_DIALING);
        ASSERT_NE(nullptr, start);
        EXPECT_EQ("&Start Without Dialing", Title(start));
        ASSERT_TRUE(PostMessageA(start, BM_CLICK, 0, 0));
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialer) || !IsWindowVisible(dialer); }, 10))
            << "the Dialer stayed";
    }

    std::string installDir, demoDir, before;
    PROCESS_INFORMATION launcher{};
};

TEST_F(WholeRunTest, ConsoleWindowEndsTheSplashAndTheBrowserIsPutBack) {
    const std::string argsFile = demoDir + "console-args";
    DeleteFileA(argsFile.c_str());
    StartLauncher({{"SKYVANE_CONSOLE_ARGS_FILE", argsFile}});
    ASSERT_NO_FATAL_FAILURE(StartWithoutDialing());

    // The splash (the launcher's window without a caption) comes before the console's window
    // and lasts until that window is found.
    HWND splash = WaitForValue(
        [&] {
            return WindowOf(launcher.dwProcessId,
                            [](HWND w) { return IsWindowVisible(w) && Title(w).empty(); });
        },
        30);
    ASSERT_NE(nullptr, splash) << "no splash";
    EXPECT_TRUE(Topmost(splash)) << "the splash is not above other windows";

    HWND console = WaitForValue(
        [&] {
            HWND w = FindWindowA(nullptr, kConsoleWindowTitle);
            return w && ProcessOf(w) != launcher.dwProcessId ? w : nullptr;
        },
        60);
    ASSERT_NE(nullptr, console) << "no console window";
    // One poll period and a search at most.
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(splash) || !IsWindowVisible(splash); }, 2.5))
        << "the splash outlived the console's window";
    EXPECT_TRUE(WaitFor([&] { return Topmost(console); }, 2))
        << "the console's window was not made topmost";
    EXPECT_EQ(kDemoConsoleArguments, ReadFile(argsFile));
    EXPECT_NE(before, BrowserKeys()) << "the browser was not switched while the console ran";

    ASSERT_TRUE(PostMessageA(console, WM_CLOSE, 0, 0));
    EXPECT_EQ(0, WaitExit(30));
    EXPECT_EQ(before, BrowserKeys());
}

} // namespace
