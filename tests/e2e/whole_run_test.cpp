// The whole run of the real launcher under Xvfb with openbox, on a demo installation made
// afresh for each test, with a dial-up connection already up and no update due.
#include "XProbe.h"

#include "platform/registry_sqlite.h"
#include "platform/windows/XServer.h"
#include "support/RegistryDump.h"
#include "support/Spawn.h"
#include "support/TempDir.h"
#include "support/TextFiles.h"
#include "support/Wait.h"
#include "support/WholeRunExpectations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Starts a program with the test's environment plus `extra`, its output into `log`.
pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
            const std::string& log) {
    return SpawnWithEnvironment(argv, extra, log);
}

// The exit code, or -1 when the program is still running after `seconds` (it is then killed).
int WaitExit(pid_t pid, double seconds) {
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Where on the picture the framed icon is: the 36 x 36 black outline, the dark grey shadow
// 4 pixels wide, and the face colour left in the corners. False when it is not there.
bool FindFramedIcon(const e2e::Picture& picture, int* left, int* top) {
    auto at = [&](int x, int y) { return picture.At(x, y); };
    const int width = picture.width, height = picture.height;
    const uint32_t black = 0x000000, shadow = 0x404040, face = 0xC0C0C0;
    for (int y0 = 0; y0 + 40 <= height; ++y0) {
        for (int x0 = 0; x0 + 40 <= width; ++x0) {
            if (at(x0, y0) != black || at(x0 + 35, y0 + 35) != black)
                continue;
            bool ok = true;
            for (int i = 0; i < 36 && ok; ++i)
                ok = at(x0 + i, y0) == black && at(x0 + i, y0 + 35) == black &&
                     at(x0, y0 + i) == black && at(x0 + 35, y0 + i) == black;
            for (int i = 4; i < 40 && ok; ++i)
                ok = at(x0 + 36, y0 + i) == shadow && at(x0 + 39, y0 + i) == shadow &&
                     at(x0 + i, y0 + 36) == shadow && at(x0 + i, y0 + 39) == shadow;
            ok = ok && at(x0 + 39, y0) == face && at(x0 + 36, y0 + 3) == face &&
                 at(x0, y0 + 39) == face && at(x0 + 3, y0 + 36) == face;
            if (ok) {
                *left = x0;
                *top = y0;
                return true;
            }
        }
    }
    return false;
}

class WholeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        if (!server.Start(true, &error))
            GTEST_SKIP() << error;
        ASSERT_TRUE(temp.Ok());
        dir = temp.Path();
        log = dir + "/log.txt";
        fs::create_directories(SCREENSHOT_DIR);

        pid_t setup = Start({"bash", SETUP_SCRIPT, BUILD_DIR, "--dest", dir},
                            {"SKYVANE_REG=" REG_PATH, "SKYVANE_LAUNCHER=" LAUNCHER_PATH}, log);
        ASSERT_EQ(0, WaitExit(setup, 60)) << ReadFile(log);
        env = {"DISPLAY=" + server.DisplayName(), "SKYVANE_REGISTRY=" + dir + "/registry.db",
               "SKYVANE_PHONEBOOK=" + dir + "/phonebook.pbk",
               "SKYVANE_DIALUP_STATE=" + dir + "/dialup-state", "SKYVANE_DIALUP_STEP_MS=1"};
        // The connection is up before the launcher starts: no Dialer dialog.
        pid_t dial = Start({RASDIAL_PATH, "Ostrel Online"}, env, log);
        ASSERT_EQ(0, WaitExit(dial, 30)) << ReadFile(log);

        screen = std::make_unique<e2e::XProbe>(server.DisplayName().c_str());
        ASSERT_TRUE(screen->Connected());
        before = BrowserKeys();
        ASSERT_NE("", before);
    }

    void TearDown() override {
        if (launcher > 0)
            WaitExit(launcher, 0);
        screen.reset();
        server.Stop();
    }

    // The user's keys, where the browsers keep their settings.
    std::string BrowserKeys() {
        std::string error;
        auto store = platform::SqliteRegistry::Open(dir + "/registry.db", &error);
        return store ? DumpRegistry(*store, HKEY_CURRENT_USER) : "cannot open: " + error;
    }

    void StartLauncher(const std::vector<std::string>& more = {}) {
        std::vector<std::string> all = env;
        all.insert(all.end(), more.begin(), more.end());
        launcher = Start({LAUNCHER_PATH}, all, log);
        ASSERT_GT(launcher, 0);
    }

    bool IsSplash(unsigned long w) {
        return screen->Pid(w) == launcher && screen->Title(w).empty();
    }

    void Screenshot(const std::string& name) {
        const std::string path = std::string(SCREENSHOT_DIR) + "/" + name;
        pid_t p =
            Start({"import", "-window", "root", path}, {"DISPLAY=" + server.DisplayName()}, log);
        EXPECT_EQ(0, WaitExit(p, 20)) << "no screenshot " << path;
    }

    testx::XServer server;
    std::unique_ptr<e2e::XProbe> screen; // what the test sees of the screen
    TempDir temp{"whole-run"};
    std::string dir, log, before;
    std::vector<std::string> env;
    pid_t launcher = -1;
};

TEST_F(WholeRunTest, ConsoleWindowEndsTheSplashAndTheBrowserIsPutBack) {
    const std::string argsFile = dir + "/console-args";
    StartLauncher({"SKYVANE_CONSOLE_ARGS_FILE=" + argsFile});

    unsigned long splash = screen->WaitForClient([&](unsigned long w) { return IsSplash(w); }, 15);
    ASSERT_NE(0u, splash) << ReadFile(log);
    int left = -1, top = -1;
    EXPECT_TRUE(WaitFor(
        [&] {
            const e2e::Picture picture = screen->Capture(splash);
            return !picture.pixels.empty() && FindFramedIcon(picture, &left, &top);
        },
        3))
        << "the framed icon is not on the splash";
    EXPECT_TRUE(screen->HasState(splash, "_NET_WM_STATE_ABOVE"));
    Screenshot("whole_run_splash.png");

    unsigned long console = screen->WaitForClient(
        [&](unsigned long w) { return screen->Title(w) == kConsoleWindowTitle; }, 60);
    ASSERT_NE(0u, console) << ReadFile(log);
    // One poll period and a search at most.
    EXPECT_TRUE(WaitFor([&] { return !screen->Viewable(splash); }, 2.5))
        << "the splash outlived the console's window";
    EXPECT_TRUE(WaitFor([&] { return screen->HasState(console, "_NET_WM_STATE_ABOVE"); }, 2))
        << "the console's window was not made topmost";
    Screenshot("whole_run_console.png");
    EXPECT_EQ(kDemoConsoleArguments, ReadFile(argsFile));
    EXPECT_NE(before, BrowserKeys()) << "the browser was not switched while the console ran";

    screen->Close(console);
    EXPECT_EQ(0, WaitExit(launcher, 30)) << ReadFile(log);
    launcher = -1;
    EXPECT_EQ(before, BrowserKeys());
}

TEST_F(WholeRunTest, MissingConsoleGivesAnErrorBoxThatEndsTheSplash) {
    fs::remove(dir + "/install/jdk/java.exe");
    StartLauncher();

    unsigned long box = screen->WaitForClient(
        [&](unsigned long w) {
            return screen->Pid(w) == launcher && screen->Title(w) == "Ostrel Sky.Vane";
        },
        15);
    ASSERT_NE(0u, box) << ReadFile(log);
    EXPECT_TRUE(WaitFor([&] { return screen->HasState(box, "_NET_WM_STATE_ABOVE"); }, 3))
        << "the error box was not lifted to the top";
    EXPECT_TRUE(WaitFor(
        [&] {
            for (unsigned long w : screen->Clients())
                if (IsSplash(w) && screen->Viewable(w))
                    return false;
            return true;
        },
        2.5))
        << "the splash outlived the error box";
    Screenshot("whole_run_error_box.png");
    EXPECT_NE(before, BrowserKeys()) << "the browser is put back only after the box is closed";

    screen->Close(box);
    EXPECT_EQ(0, WaitExit(launcher, 30)) << ReadFile(log);
    launcher = -1;
    EXPECT_EQ(before, BrowserKeys());
}

} // namespace
