// RunProgram on the recording process backend and the headless ui.
#include "app/LauncherApp.h"
#include "support/HeadlessFixture.h"

namespace {

class ProgramRunnerTest : public HeadlessFixture {
  protected:
    CLauncherApp app;
};

struct RunRow {
    const char* what;
    platform::FakeProgram program;
    DWORD wait;
    DWORD expected;
    std::vector<DWORD> waits;
};

TEST_F(ProgramRunnerTest, ResultIsTheExitCodeOrTheFixedSubstitute) {
    const RunRow rows[] = {
        {"ended with 0", {.exitCode = 0}, INFINITE, 0, {INFINITE}},
        {"updater asks for a restart", {.exitCode = 2}, INFINITE, 2, {INFINITE}},
        {"ended with 3", {.exitCode = 3}, INFINITE, 3, {INFINITE}},
        {"large exit code", {.exitCode = 0xC0000005u}, INFINITE, 0xC0000005u, {INFINITE}},
        {"not waited for", {.exitCode = 5, .running = true}, 0, STILL_ACTIVE, {}},
        {"wait ran out", {.exitCode = 5, .running = true}, 1500, STILL_ACTIVE, {1500}},
        {"waited until it ended", {.exitCode = 5, .running = true}, INFINITE, 5, {INFINITE}},
        {"exit code unreadable",
         {.exitCode = 0, .exitCodeError = ERROR_ACCESS_DENIED},
         INFINITE,
         1,
         {INFINITE}},
    };
    for (const RunRow& row : rows) {
        platform::FakeProcessBackend fake;
        platform::InstallProcess(&fake);
        const int handlesBefore = platform::OpenProcessHandleCount();
        fake.QueueProgram(row.program);

        EXPECT_EQ(app.RunProgram("D:\\Client\\VIZevu.exe", row.wait), row.expected) << row.what;
        EXPECT_EQ(fake.Waits(), row.waits) << row.what;
        EXPECT_EQ(fake.LiveChildren(), 0) << row.what << ": a handle was left open";
        EXPECT_EQ(platform::OpenProcessHandleCount(), handlesBefore) << row.what;
        platform::InstallProcess(&processes);
    }
    EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(ProgramRunnerTest, ProgramThatCannotStartIsReportedAndGivesZero) {
    const std::string commandLine =
        "\"C:\\Program Files\\Sky\\jdk\\java.exe\" -classpath x Ostrel.Server.updater.ZARuzivuz";
    processes.QueueProgram({.startError = ERROR_FILE_NOT_FOUND});

    EXPECT_EQ(app.RunProgram(commandLine, INFINITE), 0u);

    auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error executing " + commandLine);
    EXPECT_EQ(boxes[0].caption, "Ostrel Sky.Vane");
    EXPECT_EQ(boxes[0].type, MB_OK);
    EXPECT_TRUE(processes.Waits().empty());
    EXPECT_EQ(processes.LiveChildren(), 0);
}

TEST_F(ProgramRunnerTest, ChildIsStartedHiddenWithTheCommandLineAsGiven) {
    const std::string commandLine = " a \"b c\"\t\\\"d\\\\ ";
    app.RunProgram(commandLine, 0);

    auto starts = processes.Starts();
    ASSERT_EQ(starts.size(), 1u);
    const platform::ProcessStart& start = starts[0];
    EXPECT_EQ(start.commandLine, commandLine);
    EXPECT_TRUE(start.applicationName.empty());
    EXPECT_FALSE(start.inheritHandles);
    EXPECT_EQ(start.creationFlags, NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(start.hasEnvironment);
    EXPECT_FALSE(start.hasCurrentDirectory);

    STARTUPINFOA expected{};
    expected.cb = sizeof(STARTUPINFOA);
    expected.dwFlags = STARTF_USESHOWWINDOW;
    expected.wShowWindow = SW_HIDE;
    const STARTUPINFOA& got = start.startupInfo;
    EXPECT_EQ(got.cb, expected.cb);
    EXPECT_EQ(got.dwFlags, expected.dwFlags);
    EXPECT_EQ(got.wShowWindow, expected.wShowWindow);
    // Nothing else is asked for: no title, desktop, position, size or standard handles.
    EXPECT_EQ(got.lpDesktop, nullptr);
    EXPECT_EQ(got.lpTitle, nullptr);
    EXPECT_EQ(got.dwX | got.dwY | got.dwXSize | got.dwYSize | got.dwXCountChars |
                  got.dwYCountChars | got.dwFillAttribute,
              0u);
    EXPECT_EQ(got.hStdInput, nullptr);
    EXPECT_EQ(got.hStdOutput, nullptr);
    EXPECT_EQ(got.hStdError, nullptr);
}

} // namespace
