// The client programs of the demo installation, started the way the launcher starts them: the
// command lines come from the launcher's own builders and the installation directory from the
// demo's registry store; RunProgram starts them on the real process backend. Two demo
// installations are made with demo/setup.sh, one of them in a folder whose name has a blank.
#include "ClientRows.h"
#include "CloseWindow.h"
#include "app/LauncherApp.h"
#include "settings/Registry.h"
#include "support/TextFiles.h"

#include "platform/ascii.h"
#include "platform/process.h"
#include "platform/process_posix.h"
#include "platform/registry.h"
#include "platform/registry_sqlite.h"
#include "platform/ui_headless.h"
#include "support/Environment.h"
#include "support/RegistryDump.h"
#include "support/TempDir.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kInstallKey[] = "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0";
const char kProductKey[] = "SOFTWARE\\Ostrel Technologies\\Skyvane";
const char kRestoreKey[] = "SOFTWARE\\Ostrel Technologies\\Skyvane\\Restore";
const char kBookmarkKey[] = "Software\\Netscape\\Netscape Navigator\\Bookmark List";
const char kConsoleClass[] = "Ostrel.Server.console.Skyvane";
const char kUpdaterClass[] = "Ostrel.Server.updater.ZARuzivuz";

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs a shell command; its exit status and what it printed (with its errors unless told not).
int RunShell(const std::string& command, std::string* output, bool withErrors = true) {
    FILE* pipe = popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (!pipe) {
        return -1;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output->append(buffer, n);
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The parent process id of a process, from /proc; "" when it is gone.
std::string ParentOf(const std::string& pid) {
    std::string stat = ReadFile("/proc/" + pid + "/stat");
    size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return "";
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string state, parent;
    fields >> state >> parent;
    return parent;
}

// The arguments that a command line gives the program after the class name.
std::vector<std::string> ArgumentsAfter(const std::string& className,
                                        const std::string& commandLine) {
    std::vector<std::string> args = platform::SplitCommandLine(commandLine);
    auto it = std::find(args.begin(), args.end(), className);
    return it == args.end() ? std::vector<std::string>{"<no " + className + ">"}
                            : std::vector<std::string>(it + 1, args.end());
}

std::string Today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900) + " " + std::to_string(local.tm_mon + 1) + " " +
           std::to_string(local.tm_mday);
}

std::unique_ptr<platform::SqliteRegistry> OpenStore(const fs::path& dest) {
    std::string error;
    auto store = platform::SqliteRegistry::Open(
        (dest / "registry.db").string(), platform::SqliteRegistry::Options{false, 5000}, &error);
    EXPECT_TRUE(store) << error;
    return store;
}

class DemoInstallation : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_temp = std::make_unique<TempDir>("demo");
        s_root = s_temp->Path();
        s_plain = s_root / "demo";
        s_blank = s_root / "Sky Vane demo";
        s_dateBefore = Today();
        s_setupOk =
            !s_root.empty() && MakeDemo(s_plain, &s_setupLog) && MakeDemo(s_blank, &s_setupLog);
        s_dateAfter = Today();
    }
    static void TearDownTestSuite() { s_temp.reset(); }

    static bool MakeDemo(const fs::path& dest, std::string* log) {
        std::string command = "SKYVANE_REG=" + ShellQuote(SKYVANE_REG_TOOL) +
                              " SKYVANE_LAUNCHER=" + ShellQuote(SKYVANE_LAUNCHER_EXE) + " bash " +
                              ShellQuote(std::string(SKYVANE_SOURCE_DIR) + "/demo/setup.sh") + " " +
                              ShellQuote(SKYVANE_BINARY_DIR) + " --dest " +
                              ShellQuote(dest.string());
        int status = RunShell(command, log);
        *log += "(exit status " + std::to_string(status) + ")\n";
        return status == 0;
    }

    void SetUp() override {
        ASSERT_TRUE(s_setupOk) << s_setupLog;
        platform::InstallProcess(&m_processes);
        platform::ui::InstallUi(&m_ui);
    }
    void TearDown() override {
        EXPECT_TRUE(m_ui.MessageBoxes().empty())
            << "message box: " << m_ui.MessageBoxes().front().text;
        platform::ui::InstallUi(nullptr);
        platform::InstallProcess(nullptr);
        platform::InstallRegistry(nullptr);
        m_store.reset();
    }

    // Reads a value of a demo's store the way the launcher reads it.
    std::string ReadValue(const fs::path& dest, HKEY root, const char* key, const char* name) {
        m_store = OpenStore(dest);
        if (!m_store) {
            return "<no store>";
        }
        platform::InstallRegistry(m_store.get());
        std::string value = ReadRegString(root, key, name);
        platform::InstallRegistry(nullptr);
        m_store.reset();
        return value;
    }
    std::string InstallDirOf(const fs::path& dest) {
        return ReadValue(dest, HKEY_LOCAL_MACHINE, kInstallKey, "InstallDir");
    }

    static inline std::unique_ptr<TempDir> s_temp;
    static inline fs::path s_root, s_plain, s_blank;
    static inline bool s_setupOk = false;
    static inline std::string s_setupLog, s_dateBefore, s_dateAfter;

    platform::PosixProcessBackend m_processes;
    platform::ui::HeadlessUi m_ui;
    CLauncherApp m_app;
    std::unique_ptr<platform::SqliteRegistry> m_store;
};

TEST_F(DemoInstallation, SetupRecordsTheInstallationAndItsBrowsers) {
    for (const fs::path& dest : {s_plain, s_blank}) {
        SCOPED_TRACE(dest.string());
        const fs::path install = dest / "install";
        EXPECT_EQ(InstallDirOf(dest), install.string() + "/");
        EXPECT_EQ(ReadValue(dest, HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"),
                  R"(C:\Program Files\Netscape\Communicator\Program\netscape.exe)");
        std::string lastUpdate = ReadValue(dest, HKEY_LOCAL_MACHINE, kProductKey, "Last Update");
        EXPECT_TRUE(lastUpdate == s_dateBefore || lastUpdate == s_dateAfter) << lastUpdate;
        EXPECT_EQ(ReadValue(dest, HKEY_CURRENT_USER,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                            "ProxyServer"),
                  "ftp=proxy.dialnet.example:21;http=proxy.dialnet.example:8080;"
                  "gopher=gopher.dialnet.example:70;https=proxy.dialnet.example:8443");

        // The launcher makes the Restore key on its first run; the installation does not.
        m_store = OpenStore(dest);
        ASSERT_TRUE(m_store);
        EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, kRestoreKey, KEY_READ),
                  ERROR_FILE_NOT_FOUND);
        m_store.reset();

        EXPECT_EQ(ReadFile(install / "launcher-path"), std::string(SKYVANE_LAUNCHER_EXE) + "\n");
        EXPECT_TRUE(fs::exists(install / "Classes/Ostrel/Server/console/Skyvane.class"));
        EXPECT_TRUE(fs::exists(install / "Classes/Ostrel/Server/updater/ZARuzivuz.class"));
        EXPECT_FALSE(fs::exists(install / "updater-exit-code"));
        std::string env = ReadFile(dest / "env.sh");
        EXPECT_NE(env.find("export SKYVANE_REGISTRY='" + (dest / "registry.db").string() + "'"),
                  std::string::npos)
            << env;
        EXPECT_NE(
            env.find("export SKYVANE_DIALUP_STATE='" + (dest / "dialup-state").string() + "'"),
            std::string::npos)
            << env;
        EXPECT_NE(env.find("export SKYVANE_PHONEBOOK="), std::string::npos) << env;
        EXPECT_TRUE(fs::is_directory(dest / "dialup-state"));
    }
}

TEST_F(DemoInstallation, RunningSetupAgainGivesTheSameInstallation) {
    const fs::path dest = s_root / "again";
    std::string log;
    ASSERT_TRUE(MakeDemo(dest, &log)) << log;
    m_store = OpenStore(dest);
    ASSERT_TRUE(m_store);
    const std::string first = DumpStore(*m_store);

    // Everything a run of the demo may leave behind.
    const std::string lastUpdate = Today();
    platform::RegistryValue changed{"Browser exe", REG_SZ, {'x', 0}};
    EXPECT_EQ(m_store->SetValue(HKEY_LOCAL_MACHINE, kProductKey, changed), ERROR_SUCCESS);
    EXPECT_EQ(m_store->DeleteValue(HKEY_CURRENT_USER, kBookmarkKey, "File Location"),
              ERROR_SUCCESS);
    bool created = false;
    EXPECT_EQ(
        m_store->CreateKey(HKEY_LOCAL_MACHINE, kRestoreKey, "Application Global Data", &created),
        ERROR_SUCCESS);
    m_store.reset();
    WriteFile(dest / "install/updater-exit-code", "2\n");
    WriteFile(dest / "install/Classes/Stray.class", "");
    WriteFile(dest / "dialup-state/connection", "up\n");

    log.clear();
    ASSERT_TRUE(MakeDemo(dest, &log)) << log;
    m_store = OpenStore(dest);
    ASSERT_TRUE(m_store);
    if (Today() == lastUpdate) { // the date is the set-up's own, which may pass midnight
        EXPECT_EQ(DumpStore(*m_store), first);
    }
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, kRestoreKey, KEY_READ), ERROR_FILE_NOT_FOUND);
    m_store.reset();
    EXPECT_FALSE(fs::exists(dest / "install/updater-exit-code"));
    EXPECT_FALSE(fs::exists(dest / "install/Classes/Stray.class"));
    EXPECT_TRUE(fs::is_empty(dest / "dialup-state"));
}

TEST_F(DemoInstallation, UpdaterExitCodeComesBackToTheLauncher) {
    for (const fs::path& dest : {s_plain, s_blank}) {
        const std::string installDir = InstallDirOf(dest);
        const fs::path codeFile = dest / "install/updater-exit-code";
        const fs::path argsFile = s_root / "updater-args";
        ScopedEnv recordArgs("SKYVANE_UPDATER_ARGS_FILE", argsFile.string());
        for (const clientrows::UpdaterExitRow& row : clientrows::kUpdaterExitRows) {
            SCOPED_TRACE(dest.string() + ", exit code file " + (row.file ? row.file : "(none)"));
            fs::remove(codeFile);
            if (row.file) {
                WriteFile(codeFile, row.file);
            }
            fs::remove(argsFile);
            const std::string command = BuildJavaCommand(installDir) + kUpdaterClass;
            EXPECT_EQ(m_app.RunProgram(command, INFINITE), row.expected) << command;
            EXPECT_TRUE(fs::exists(argsFile));
            EXPECT_EQ(ReadFile(argsFile), "") << "the updater is given no arguments";
        }
        fs::remove(codeFile);
    }
}

// Quotes, backslashes, blanks and empty arguments reach the Java program as the Windows rules
// split them, through the process runner and java.exe.
TEST_F(DemoInstallation, ArgumentsReachTheJavaProgramAsTheCommandLineSplitsThem) {
    const fs::path argsFile = s_root / "updater-args";
    ScopedEnv recordArgs("SKYVANE_UPDATER_ARGS_FILE", argsFile.string());
    const std::string tail = clientrows::kTrickyTail;
    for (const fs::path& dest : {s_plain, s_blank}) {
        SCOPED_TRACE(dest.string());
        fs::remove(argsFile);
        const std::string command = BuildJavaCommand(InstallDirOf(dest)) + kUpdaterClass + tail;
        EXPECT_EQ(m_app.RunProgram(command, INFINITE), 0u);
        const std::vector<std::string>& expected = clientrows::kTrickyArgs;
        EXPECT_EQ(ArgumentsAfter(kUpdaterClass, command), expected);
        EXPECT_EQ(Lines(ReadFile(argsFile)), expected);
    }
}

TEST_F(DemoInstallation, ConsoleReceivesTheBrowserAndBookmarkLocation) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "the console's window needs an X display (DISPLAY is not set)";
    }
    const fs::path argsFile = s_root / "console-args";
    ScopedEnv recordArgs("SKYVANE_CONSOLE_ARGS_FILE", argsFile.string());
    ScopedEnv autoClose("SKYVANE_CONSOLE_AUTOCLOSE_MS", "300");
    for (const fs::path& dest : {s_plain, s_blank}) {
        const std::string installDir = InstallDirOf(dest);
        const std::string browser =
            platform::AsciiLowered(ReadValue(dest, HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"));
        const std::string bookmarks =
            ReadValue(dest, HKEY_CURRENT_USER, kBookmarkKey, "File Location");
        ASSERT_FALSE(browser.empty());
        ASSERT_FALSE(bookmarks.empty());
        // With no bookmark location recorded the console gets an empty second argument.
        for (const std::string& bookmark : {bookmarks, std::string()}) {
            SCOPED_TRACE(dest.string() + ", bookmarks \"" + bookmark + "\"");
            fs::remove(argsFile);
            const std::string command = BuildJavaCommand(installDir) + kConsoleClass + " \"" +
                                        browser + "\" \"" + bookmark + "\"";
            EXPECT_EQ(m_app.RunProgram(command, INFINITE), 0u) << command;
            const std::vector<std::string> expected = {browser, bookmark};
            EXPECT_EQ(ArgumentsAfter(kConsoleClass, command), expected);
            EXPECT_EQ(Lines(ReadFile(argsFile)), expected);
        }
    }
}

// The launcher's splash screen ends when a window with exactly this title exists; the launcher
// goes on when the user has closed it.
TEST_F(DemoInstallation, ConsoleWindowBearsTheProductTitleAndEndsWhenClosed) {
    std::string out;
    if (!std::getenv("DISPLAY") || RunShell("command -v xdotool", &out) != 0) {
        GTEST_SKIP() << "needs an X display and xdotool";
    }
    // Only a console that misses the close request ends by itself, much later.
    ScopedEnv autoClose("SKYVANE_CONSOLE_AUTOCLOSE_MS", "120000");
    const std::string command =
        BuildJavaCommand(InstallDirOf(s_blank)) + kConsoleClass + R"( "c:\netscape.exe" "")";
    std::atomic<bool> ended = false;
    DWORD exitCode = 99;
    std::thread console([&] {
        exitCode = m_app.RunProgram(command, INFINITE);
        ended = true;
    });

    // Other tests may show windows with the same title at the same time: ours is the one whose
    // process (java, which java.exe became) is a child of this test.
    std::string window;
    while (!ended && window.empty()) {
        std::string found;
        RunShell(R"(xdotool search --onlyvisible --name '^Ostrel Sky\.Vane$')", &found, false);
        for (const std::string& id : Lines(found)) {
            std::string pid;
            RunShell("xdotool getwindowpid " + id, &pid, false);
            if (!pid.empty() && ParentOf(Lines(pid).front()) == std::to_string(getpid())) {
                window = id;
            }
        }
        if (window.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    std::string title;
    const auto closed = std::chrono::steady_clock::now();
    if (!window.empty()) {
        RunShell("xdotool getwindowname " + window, &title, false);
        EXPECT_TRUE(RequestWindowClose(std::stoul(window)));
    }
    console.join();

    ASSERT_FALSE(window.empty()) << "the console ended without showing its window";
    EXPECT_EQ(title, "Ostrel Sky.Vane\n");
    EXPECT_EQ(exitCode, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(60))
        << "the console did not end when its window was closed";
}

TEST_F(DemoInstallation, BootProgramStartsTheLauncherAgainWithTheSameEnvironment) {
    // A stand-in for the launcher that notes how it was started.
    const fs::path fakeDir = s_root / "fake launcher";
    fs::create_directories(fakeDir);
    const fs::path fake = fakeDir / "launcher";
    const fs::path note = fakeDir / "started";
    WriteFile(fake, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$SKYVANE_REGISTRY\" > " +
                        ShellQuote(note.string() + ".tmp") + " && mv " +
                        ShellQuote(note.string() + ".tmp") + " " + ShellQuote(note.string()) +
                        "\n");
    fs::permissions(fake, fs::perms::owner_all);

    const fs::path launcherPath = s_blank / "install/launcher-path";
    const std::string original = ReadFile(launcherPath);
    WriteFile(launcherPath, fake.string() + "\n");
    const std::string store = (s_blank / "registry.db").string();
    ScopedEnv registry("SKYVANE_REGISTRY", store);

    const DWORD result = m_app.RunProgram(BuildBootCommand(InstallDirOf(s_blank)), 0);
    EXPECT_TRUE(result == STILL_ACTIVE || result == 0) << result;
    WaitFor([&] { return fs::exists(note); }, 10);
    WriteFile(launcherPath, original);
    EXPECT_EQ(Lines(ReadFile(note)), (std::vector<std::string>{"0", store}));
}

} // namespace
