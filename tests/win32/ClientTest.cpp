// The client programs of the Windows build, started as the launcher starts them (CreateProcessA
// with its Java command line) from an installation in a folder whose name has a blank: the
// updater and console stand-ins behind jdk\java.exe, and VIZevu.exe. The cases the Java
// programs answer on Linux come from the same rows (integration/ClientRows.h).
#include "client/jdk/StandIns.h"
#include "integration/ClientRows.h"
#include "support/Environment.h"
#include "support/TempDir.h"
#include "support/TextFiles.h"
#include "win32/Wine.h"

#include "platform/process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

struct Ended {
    bool started = false;
    DWORD exitCode = 0;
};

// Waits for a started program, at most a minute, and closes its handles: its exit code.
DWORD WaitAndClose(const PROCESS_INFORMATION& info, const std::string& what) {
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0) << what;
    DWORD exitCode = 99;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return exitCode;
}

// Starts a command line and waits for it.
Ended RunAndWait(const std::string& commandLine) {
    const Started start = Start(commandLine, 0);
    return start.ok ? Ended{true, WaitAndClose(start.info, commandLine)} : Ended{};
}

class WindowsClient : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.Ok());
        m_install = m_dir.File("Sky Vane") + "\\";
        ASSERT_TRUE(CreateDirectoryA(m_install.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((m_install + "jdk").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((m_install + "Classes").c_str(), nullptr));
        ASSERT_TRUE(CopyFileA((OwnFolder() + "java.exe").c_str(),
                              (m_install + "jdk\\java.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((OwnFolder() + "VIZevu.exe").c_str(),
                              (m_install + "VIZevu.exe").c_str(), FALSE));
    }

    // The launcher's Java command line for the installation, up to the class name.
    std::string JavaCommand() const {
        std::string program;
        EXPECT_TRUE(platform::ProgramNameText(m_install + "jdk\\java.exe", &program));
        return program + " -classpath " +
               platform::ArgumentText(m_install + "jdk\\classes.zip;" + m_install + "Classes") +
               " ";
    }

    TempDir m_dir{"client"};
    std::string m_install;
};

TEST_F(WindowsClient, UpdaterExitCodeComesBackToTheLauncher) {
    const std::string argsFile = m_dir.File("updater-args");
    ScopedEnv recordArgs("SKYVANE_UPDATER_ARGS_FILE", argsFile);
    for (const clientrows::UpdaterExitRow& row : clientrows::kUpdaterExitRows) {
        SCOPED_TRACE(std::string("exit code file ") + (row.file ? row.file : "(none)"));
        DeleteFileA((m_install + "updater-exit-code").c_str());
        if (row.file) {
            WriteFile(m_install + "updater-exit-code", row.file);
        }
        DeleteFileA(argsFile.c_str());
        const Ended run = RunAndWait(JavaCommand() + javaexe::kUpdaterClass);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, row.expected);
        EXPECT_NE(GetFileAttributesA(argsFile.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(ReadFile(argsFile), "") << "the updater is given no arguments";
    }
}

TEST_F(WindowsClient, ArgumentsReachTheProgramAsTheCommandLineSplitsThem) {
    const std::string argsFile = m_dir.File("updater-args");
    ScopedEnv recordArgs("SKYVANE_UPDATER_ARGS_FILE", argsFile);
    const Ended run = RunAndWait(JavaCommand() + javaexe::kUpdaterClass + clientrows::kTrickyTail);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Lines(ReadFile(argsFile)), clientrows::kTrickyArgs);
}

TEST_F(WindowsClient, ConsoleRecordsItsArgumentsAndClosesByItself) {
    const std::string argsFile = m_dir.File("console-args");
    ScopedEnv recordArgs("SKYVANE_CONSOLE_ARGS_FILE", argsFile);
    ScopedEnv autoClose("SKYVANE_CONSOLE_AUTOCLOSE_MS", "300");
    const std::string browser = R"(c:\program files\netscape\program\netscape.exe)";
    for (const std::string& bookmark :
         {std::string(R"(C:\Sky Vane\bookmark.htm)"), std::string()}) {
        SCOPED_TRACE("bookmarks \"" + bookmark + "\"");
        DeleteFileA(argsFile.c_str());
        const Ended run = RunAndWait(JavaCommand() + javaexe::kConsoleClass + " \"" + browser +
                                     "\" \"" + bookmark + "\"");
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(Lines(ReadFile(argsFile)), (std::vector<std::string>{browser, bookmark}));
    }
}

// The launcher's splash screen ends when a window with exactly this title exists; the launcher
// goes on when the user has closed it.
TEST_F(WindowsClient, ConsoleWindowBearsTheProductTitleAndEndsWhenClosed) {
    ScopedEnv autoClose("SKYVANE_CONSOLE_AUTOCLOSE_MS", "120000");
    std::string commandLine = JavaCommand() + javaexe::kConsoleClass + R"( "c:\netscape.exe" "")";
    const Started console = Start(commandLine, 0);
    ASSERT_TRUE(console.ok);
    const PROCESS_INFORMATION info = console.info;
    HWND window = nullptr;
    WaitFor(
        [&] {
            window = WindowOf(info.dwProcessId,
                              [](HWND w) { return Title(w) == javaexe::kConsoleTitle; });
            return window != nullptr || WaitForSingleObject(info.hProcess, 0) != WAIT_TIMEOUT;
        },
        60);
    ASSERT_NE(window, nullptr) << "the console ended or took a minute without showing its window";
    EXPECT_EQ(GetParent(window), nullptr);
    // Shown soon after it is made.
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 10));
    // Found by its title as the splash screen looks for it.
    EXPECT_NE(FindWindowA(nullptr, javaexe::kConsoleTitle), nullptr);

    const auto closed = std::chrono::steady_clock::now();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitAndClose(info, "the console did not end when its window was closed"), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(60));
}

// What java fails on, it fails on with exit code 1.
TEST_F(WindowsClient, OtherCommandLinesFailAsJavaFails) {
    std::string classesOnly;
    EXPECT_TRUE(platform::ProgramNameText(m_install + "jdk\\java.exe", &classesOnly));
    const std::string rows[] = {
        JavaCommand() + "Ostrel.Server.Other",
        JavaCommand() + "ostrel.server.console.skyvane", // class names are case-sensitive
        JavaCommand(),
        JavaCommand() + "-jar client.jar",
        // A class path where nothing exists: no class can be found.
        classesOnly + " -classpath \"" + m_install + "none;" + m_install + "jdk\\none.zip\" " +
            javaexe::kUpdaterClass,
        JavaCommand() + "-classpath",
    };
    for (const std::string& commandLine : rows) {
        const Ended run = RunAndWait(commandLine);
        ASSERT_TRUE(run.started) << commandLine;
        EXPECT_EQ(run.exitCode, 1u) << commandLine;
    }
}

TEST_F(WindowsClient, BootProgramStartsTheLauncherNamedBesideIt) {
    // A stand-in for the launcher that notes how it was started.
    const std::string fakeDir = m_dir.File("fake launcher");
    ASSERT_TRUE(CreateDirectoryA(fakeDir.c_str(), nullptr));
    const std::string fake = fakeDir + "\\launcher.exe";
    ASSERT_TRUE(CopyFileA((OwnFolder() + "process_child_helper.exe").c_str(), fake.c_str(), FALSE));
    const std::string note = m_dir.File("started");
    ScopedEnv out("SKYVANE_CHILD_OUT", note);
    std::string boot;
    ASSERT_TRUE(platform::ProgramNameText(m_install + "VIZevu.exe", &boot));

    // Without the launcher's path, or with a launcher that is not there, it cannot start one.
    EXPECT_EQ(RunAndWait(boot).exitCode, 1u);
    WriteFile(m_install + "launcher-path", fakeDir + "\\missing.exe\r\n");
    EXPECT_EQ(RunAndWait(boot).exitCode, 1u);

    WriteFile(m_install + "launcher-path", fake + "\r\n");
    const Ended run = RunAndWait(boot);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    WaitFor([&] { return GetFileAttributesA(note.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10);
    // In the same current folder, with one argument: the program's name, whole although it
    // has a blank.
    char cwd[MAX_PATH];
    const DWORD cwdLength = GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_EQ(ReadFile(note), std::string(cwd, cwdLength) + '\0' + '\0' + fake + '\0');
}

} // namespace
