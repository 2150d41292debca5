// The start-up sequence on the test backends: the command prefix, the three ways a run ends,
// and what each of them leaves untouched.
#include "app/LauncherApp.h"
#include "settings/Registry.h"
#include "splash/SplashDlg.h"
#include "support/HeadlessFixture.h"

#include "platform/ras_fake.h"
#include "platform/winfind_fake.h"
#include "res/resource.h"

#include <chrono>
#include <thread>

namespace {

const std::string kInstallKey = "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0";
const std::string kProductKey = "SOFTWARE\\Ostrel Technologies\\Skyvane";
const std::string kRestoreKey = kProductKey + "\\Restore";
const char kQuestion[] = "Updates of Sky.Vane may now be available. Would you like me to make "
                         "sure you have the most recent version of Sky.Vane?";

TEST(JavaCommand, IsBuiltFromTheInstallationDirectory) {
    struct Row {
        const char* installDir;
        const char* prefix;
        const char* boot;
    };
    const Row rows[] = {
        {"D:\\Client\\",
         "D:\\Client\\jdk\\java.exe -classpath D:\\Client\\jdk\\classes.zip;D:\\Client\\Classes ",
         "D:\\Client\\VIZevu.exe"},
        {"D:\\Client",
         "D:\\Client\\jdk\\java.exe -classpath D:\\Client\\jdk\\classes.zip;D:\\Client\\Classes ",
         "D:\\Client\\VIZevu.exe"},
        {"", "jdk\\java.exe -classpath jdk\\classes.zip;Classes ", "VIZevu.exe"},
        // Pieces with a blank or a tab are quoted whole, so they stay one argument each.
        {"C:\\Program Files\\Sky\\",
         "\"C:\\Program Files\\Sky\\jdk\\java.exe\" -classpath \"C:\\Program "
         "Files\\Sky\\jdk\\classes.zip;C:\\Program Files\\Sky\\Classes\" ",
         "\"C:\\Program Files\\Sky\\VIZevu.exe\""},
        {"C:\\Sky\tVane",
         "\"C:\\Sky\tVane\\jdk\\java.exe\" -classpath "
         "\"C:\\Sky\tVane\\jdk\\classes.zip;C:\\Sky\tVane\\Classes\" ",
         "\"C:\\Sky\tVane\\VIZevu.exe\""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.prefix, BuildJavaCommand(r.installDir)) << r.installDir;
        EXPECT_EQ(r.boot, BuildBootCommand(r.installDir)) << r.installDir;
    }
}

class StartupSequenceTest : public HeadlessFixture {
  protected:
    void SetUp() override {
        HeadlessFixture::SetUp();
        platform::InstallDialup(&dialup);
        platform::InstallWindowFinder(&windows);
        g_bSplashDone = 0;
        CreateKey(HKEY_LOCAL_MACHINE, kInstallKey);
        CreateKey(HKEY_LOCAL_MACHINE, kProductKey);
        WriteRegString(HKEY_LOCAL_MACHINE, kInstallKey, "InstallDir", "D:\\Client");
        clock.Set(CTime(1997, 3, 20, 12, 0, 0));
        // The console opens its window as soon as it starts.
        processes.SetHandler([this](const platform::ProcessStart&) {
            windows.AddWindow("Ostrel Sky.Vane");
            return platform::FakeProgram{};
        });
    }

    void TearDown() override {
        WaitForSplashToEnd();
        platform::InstallWindowFinder(nullptr);
        platform::InstallDialup(nullptr);
        HeadlessFixture::TearDown();
    }

    // A launch leaves its splash thread running; it must have looked for the console's window
    // and let go of its dialog before the backends go away.
    void WaitForSplashToEnd() {
        if (g_bSplashDone == 0)
            return;
        for (int i = 0; i < 1000; ++i) {
            if (windows.FindCount() > 0 && ui.OpenDialogs().empty())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "the splash did not end: " << windows.FindCount() << " looks, "
                      << ui.OpenDialogs().size() << " dialogs open";
    }

    void NoUpdateDue() {
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Update", "1997 3 19");
    }

    BOOL Run() {
        BOOL result = TRUE;
        std::string out = CaptureStdout([&] { result = app.InitInstance(); });
        output = out;
        return result;
    }

    platform::FakeDialup dialup;
    platform::FakeWindowFinder windows;
    CLauncherApp app;
    std::string output;
};

TEST_F(StartupSequenceTest, ConnectionUpSkipsTheDialerAndLaunchesTheConsole) {
    dialup.AddConnection(7, "Office");
    NoUpdateDue();
    EXPECT_FALSE(Run());
    EXPECT_EQ(
        "D:\\Client\\jdk\\java.exe -classpath D:\\Client\\jdk\\classes.zip;D:\\Client\\Classes ",
        app.m_strJavaCommand);
    EXPECT_TRUE(ui.DialogsRun().empty());
    EXPECT_TRUE(ui.MessageBoxes().empty());
    auto lines = processes.CommandLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find(app.m_strJavaCommand + "Ostrel.Server.console.Skyvane "));
    EXPECT_EQ(1, g_bSplashDone);
    EXPECT_EQ(nullptr, app.m_pBrowserSettings);
}

TEST_F(StartupSequenceTest, LeavingTheDialerEndsTheRunWithoutTouchingAnything) {
    for (int way = 0; way < 3; ++way) {
        ui.Play(IDD_DIALER, [way](platform::ui::HeadlessDialog& d) {
            if (way == 0)
                d.Click(IDCANCEL);
            else if (way == 1)
                d.Escape();
            else
                d.Close();
        });
        EXPECT_FALSE(Run()) << way;
    }
    EXPECT_EQ((std::vector<UINT>{IDD_DIALER, IDD_DIALER, IDD_DIALER}), ui.DialogsRun());
    EXPECT_TRUE(ui.MessageBoxes().empty());
    EXPECT_TRUE(processes.Starts().empty());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, registry.OpenKey(HKEY_LOCAL_MACHINE, kRestoreKey, KEY_READ));
    EXPECT_EQ(0, g_bSplashDone);
}

TEST_F(StartupSequenceTest, StartWithoutDialingGoesOnToTheLaunch) {
    NoUpdateDue();
    ui.Play(IDD_DIALER,
            [](platform::ui::HeadlessDialog& d) { d.Click(IDC_START_WITHOUT_DIALING); });
    EXPECT_FALSE(Run());
    EXPECT_EQ(1u, processes.CommandLines().size());
    EXPECT_EQ(1, g_bSplashDone);
}

TEST_F(StartupSequenceTest, UpdateThatNeedsARestartHandsOverToTheBootProgram) {
    dialup.AddConnection(7, "Office");
    processes.QueueProgram(platform::FakeProgram{ERROR_SUCCESS, 2});
    EXPECT_FALSE(Run());
    auto boxes = ui.MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kQuestion, boxes[0].text);
    EXPECT_EQ("Ostrel Sky.Vane must now restart to finish updating.", boxes[1].text);
    auto starts = processes.Starts();
    ASSERT_EQ(2u, starts.size());
    EXPECT_EQ(app.m_strJavaCommand + "Ostrel.Server.updater.ZARuzivuz", starts[0].commandLine);
    EXPECT_EQ("D:\\Client\\VIZevu.exe", starts[1].commandLine);
    // The boot program is not waited for; the console is not launched and no browser touched.
    auto waits = processes.Waits();
    EXPECT_EQ(1u, waits.size());
    EXPECT_EQ(0, g_bSplashDone);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, registry.OpenKey(HKEY_LOCAL_MACHINE, kRestoreKey, KEY_READ));
}

TEST_F(StartupSequenceTest, MissingInstallDirBuildsRelativePathsAndSaysSoOnStandardOutput) {
    ASSERT_EQ(ERROR_SUCCESS, registry.DeleteValue(HKEY_LOCAL_MACHINE, kInstallKey, "InstallDir"));
    dialup.AddConnection(7, "Office");
    NoUpdateDue();
    EXPECT_FALSE(Run());
    EXPECT_EQ("jdk\\java.exe -classpath jdk\\classes.zip;Classes ", app.m_strJavaCommand);
    EXPECT_EQ(0u, output.find("Error: RegQueryValueEx = 2"));
}

} // namespace
