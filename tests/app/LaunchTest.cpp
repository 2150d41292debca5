// LaunchConsole on the test backends: the recording process backend plays the console, the fake
// window list plays the screen, the registry is in memory.
#include "app/LauncherApp.h"
#include "browsers/BrowserFixture.h"
#include "settings/Registry.h"
#include "splash/SplashFixture.h"
#include "support/RegistryDump.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace {

const std::string kProductKey = "SOFTWARE\\Ostrel Technologies\\Skyvane";
const std::string kRestoreKey = kProductKey + "\\Restore";
const std::string kNavigator = probe::NAVIGATOR;
const std::string kExplorer = probe::IE_SETTINGS;
const std::string kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kPrefix =
    "D:\\Client\\jdk\\java.exe -classpath D:\\Client\\jdk\\classes.zip;D:\\Client\\Classes ";

class LaunchTest : public SplashFixture {
  protected:
    void SetUp() override {
        SplashFixture::SetUp();

        CreateKey(HKEY_LOCAL_MACHINE, kProductKey);
        CreateKey(HKEY_CURRENT_USER, kNavigator + "\\Bookmark List");
        WriteRegString(HKEY_CURRENT_USER, kNavigator + "\\Bookmark List", "File Location",
                       "C:\\Netscape\\bookmark.htm");
        // Every value the configurators change exists, so a run must leave them all as found.
        probe::InstallNavigator();
        probe::InstallExplorer();
        CreateKey(HKEY_CURRENT_USER, kShellFolders);
        WriteRegString(HKEY_CURRENT_USER, kShellFolders, "Favorites", "C:\\WINDOWS\\Favorites");

        app.m_strJavaCommand = BuildJavaCommand("D:\\Client\\");
        // The console runs until the splash has had its first look, then opens its window; it
        // records the browser's values as it found them.
        processes.SetHandler([this](const platform::ProcessStart&) {
            whileRunning = Snapshot();
            WaitUntil([this] { return windows.FindCount() > looksBefore; });
            windows.AddWindow("Ostrel Sky.Vane");
            return platform::FakeProgram{};
        });
    }

    template <typename Pred> void WaitUntil(Pred done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "timed out";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // One launch as the start-up sequence makes it: the flag is set once it has returned. Then
    // waits until this launch's splash thread has looked and let go of its dialog, so that it
    // uses nothing of the test afterwards.
    void Launch() {
        looksBefore = windows.FindCount();
        app.LaunchConsole();
        g_bSplashDone = 1;
        WaitUntil([this] { return windows.FindCount() > looksBefore && ui.OpenDialogs().empty(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        g_bSplashDone = 0;
    }

    // A text value read through the registry functions, safe from any thread.
    static std::string QueryText(HKEY root, const std::string& path, const char* name) {
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return "(no key)";
        char text[256] = {};
        DWORD size = sizeof(text) - 1;
        LONG rc =
            RegQueryValueExA(hKey, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size);
        RegCloseKey(hKey);
        return rc == ERROR_SUCCESS ? std::string(text) : "(no value)";
    }

    // Every key and value under HKEY_CURRENT_USER, as text.
    std::string Snapshot() { return DumpRegistry(registry, HKEY_CURRENT_USER); }

    std::string ConsoleLine(const std::string& browser, const std::string& bookmarks) {
        return kPrefix + "Ostrel.Server.console.Skyvane \"" + browser + "\" \"" + bookmarks + "\"";
    }

    CLauncherApp app;
    std::string whileRunning;
    int looksBefore = 0;
};

TEST_F(LaunchTest, ConsoleRunsWithTheCommandLineOfTheExample) {
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe",
                   "C:\\Netscape\\Program\\NETSCAPE.EXE");
    const std::string before = Snapshot();
    std::string atFirstLook;
    windows.SetOnFind([&](int look) {
        if (look == 1)
            atFirstLook = QueryText(HKEY_CURRENT_USER, kNavigator + "\\Java", "Enable Java");
    });

    Launch();

    EXPECT_EQ((std::vector<std::string>{
                  "D:\\Client\\jdk\\java.exe -classpath D:\\Client\\jdk\\classes.zip;"
                  "D:\\Client\\Classes Ostrel.Server.console.Skyvane "
                  "\"c:\\netscape\\program\\netscape.exe\" \"C:\\Netscape\\bookmark.htm\""}),
              processes.CommandLines());
    EXPECT_EQ(std::vector<DWORD>{INFINITE}, processes.Waits());
    EXPECT_NE(before, whileRunning) << "the browser was not switched while the console ran";
    EXPECT_EQ(before, Snapshot()) << "the browser's values were not put back";
    EXPECT_EQ(nullptr, app.m_pBrowserSettings);
    EXPECT_TRUE(ui.MessageBoxes().empty());
    EXPECT_EQ("yes", atFirstLook) << "the splash started before the browser was switched";
}

struct BrowserRow {
    const char* what;
    const char* browserExe; // null: no value
    std::string consoleBrowser;
    bool explorer;
};

TEST_F(LaunchTest, BrowserExeChoosesTheConfiguratorAndIsPassedInLowerCase) {
    const BrowserRow rows[] = {
        {"Internet Explorer", "C:\\IE\\IEXPLORE.EXE", "c:\\ie\\iexplore.exe", true},
        {"mixed case with blanks", "D:\\Program Files\\Plus!\\IExplore.exe",
         "d:\\program files\\plus!\\iexplore.exe", true},
        {"substring anywhere", "C:\\iexplore.exe.old\\nav.exe", "c:\\iexplore.exe.old\\nav.exe",
         true},
        {"similar name", "C:\\IE\\IEXPLORER.EXE", "c:\\ie\\iexplorer.exe", false},
        {"Navigator", "C:\\Netscape\\Program\\NETSCAPE.EXE", "c:\\netscape\\program\\netscape.exe",
         false},
        {"empty value", "", "", false},
        {"no value", nullptr, "", false},
    };
    for (const BrowserRow& row : rows) {
        SCOPED_TRACE(row.what);
        const size_t started = processes.CommandLines().size();
        registry.DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe");
        registry.DeleteKey(HKEY_LOCAL_MACHINE, kRestoreKey);
        if (row.browserExe)
            WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe", row.browserExe);

        Launch();

        const std::string bookmarks =
            row.explorer ? "C:\\WINDOWS\\Favorites" : "C:\\Netscape\\bookmark.htm";
        const auto lines = processes.CommandLines();
        ASSERT_EQ(started + 1, lines.size());
        EXPECT_EQ(ConsoleLine(row.consoleBrowser, bookmarks), lines.back());
        const std::string firstRecord = ReadRegString(HKEY_LOCAL_MACHINE, kRestoreKey, "key1");
        const std::string browserKey = row.explorer ? kExplorer : kNavigator;
        EXPECT_EQ(0u, firstRecord.find("HKEY_CURRENT_USER\\" + browserKey)) << firstRecord;
    }
}

TEST_F(LaunchTest, FolderWithTrailingBackslashStaysOneArgument) {
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe", "C:\\IE\\IEXPLORE.EXE");
    WriteRegString(HKEY_CURRENT_USER, kShellFolders, "Favorites", "C:\\WINDOWS\\Favorites\\");

    Launch();

    ASSERT_EQ(1u, processes.CommandLines().size());
    const auto args = platform::SplitCommandLine(processes.CommandLines()[0]);
    ASSERT_EQ(6u, args.size());
    EXPECT_EQ("c:\\ie\\iexplore.exe", args[4]);
    EXPECT_EQ("C:\\WINDOWS\\Favorites\\", args[5]);
}

TEST_F(LaunchTest, TailRunsInTheConsolesPlaceWithTheSameArguments) {
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe", "C:\\NETSCAPE.EXE");
    const std::vector<std::vector<const char*>> argvs = {
        {"true"},
        {"/bin/echo", "two words", "quote\"inside", "trailing\\", "tab\there"},
        {"prog", ""},
    };
    for (const auto& argv : argvs) {
        SCOPED_TRACE(argv[0]);
        const size_t started = processes.CommandLines().size();
        const std::string before = Snapshot();
        ASSERT_TRUE(
            AfxJoinCommandLine(static_cast<int>(argv.size()), argv.data(), &app.m_lpCmdLine));

        Launch();

        const auto lines = processes.CommandLines();
        ASSERT_EQ(started + 1, lines.size());
        EXPECT_EQ(app.m_lpCmdLine, lines.back());
        EXPECT_EQ(std::vector<std::string>(argv.begin(), argv.end()),
                  platform::SplitCommandLine(lines.back()));
        EXPECT_EQ(INFINITE, processes.Waits().back());
        EXPECT_NE(before, whileRunning) << "the browser was not switched while it ran";
        EXPECT_EQ(before, Snapshot());
    }
}

TEST_F(LaunchTest, ConsoleThatCannotStartIsReportedThenTheBrowserIsRestored) {
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe", "C:\\NETSCAPE.EXE");
    processes.SetHandler([](const platform::ProcessStart&) {
        return platform::FakeProgram{.startError = ERROR_FILE_NOT_FOUND};
    });
    const std::string before = Snapshot();
    std::string duringBox;
    ui.onMessageBox = [&](const platform::ui::MessageBoxRecord& box) {
        duringBox = Snapshot();
        // The box is a window with the application title: it ends the splash.
        windows.AddWindow(box.caption);
    };

    Launch();

    const std::string line = ConsoleLine("c:\\netscape.exe", "C:\\Netscape\\bookmark.htm");
    auto boxes = ui.MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Error executing " + line, boxes[0].text);
    EXPECT_EQ("Ostrel Sky.Vane", boxes[0].caption);
    EXPECT_EQ(MB_OK, boxes[0].type);
    EXPECT_NE(before, duringBox);
    EXPECT_EQ(before, Snapshot());
    EXPECT_TRUE(processes.Waits().empty());
    EXPECT_EQ(nullptr, app.m_pBrowserSettings);
}

} // namespace
