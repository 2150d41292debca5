// The program runner's codes from the real CreateProcessA (under Wine): the same codes the
// posix_spawn backend gives for the same cases (tests/platform/process).
#include "support/Environment.h"
#include "support/TempDir.h"
#include "win32/Wine.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// The process tests' child beside this test program.
std::string Child() {
    return OwnFolder() + CHILD_HELPER_NAME;
}

TEST(WindowsProcess, ProgramsThatCannotStartGiveTheirWindowsCode) {
    const TempDir temp("process");
    ASSERT_TRUE(temp.Ok());
    struct Row {
        std::string commandLine;
        DWORD error;
    } rows[] = {
        {"skyvane-no-such-program-anywhere.exe", ERROR_FILE_NOT_FOUND},
        {"\"" + temp.File("skyvane-missing.exe") + "\" a", ERROR_FILE_NOT_FOUND},
        // The posix_spawn backend gives ERROR_PATH_NOT_FOUND, as a file call on the path would;
        // Wine's CreateProcessA gives ERROR_FILE_NOT_FOUND (the documentation names neither).
        {"\"" + temp.File("no-dir\\missing.exe") + "\"",
         static_cast<DWORD>(RunsUnderWine() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND)},
    };
    for (const Row& row : rows) {
        Started started = Start(row.commandLine);
        EXPECT_FALSE(started.ok) << row.commandLine;
        EXPECT_EQ(started.error, row.error) << row.commandLine;
        EXPECT_EQ(started.info.hProcess, reinterpret_cast<HANDLE>(0x5A5A)) << row.commandLine;
    }
}

TEST(WindowsProcess, ExitCodesComeBackAndARunningChildIsStillActive) {
    struct Row {
        const char* exitCode;
        const char* sleepMs;
        DWORD waitMs;
        DWORD wait;
        DWORD expected;
    } rows[] = {
        {"0", "0", INFINITE, WAIT_OBJECT_0, 0},
        {"2", "0", INFINITE, WAIT_OBJECT_0, 2},
        {"3", "0", INFINITE, WAIT_OBJECT_0, 3},
        {"255", "0", INFINITE, WAIT_OBJECT_0, 255},
        {"-1073741819", "0", INFINITE, WAIT_OBJECT_0, 0xC0000005u},
        // Not waited for: still running.
        {"5", "3000", 0, WAIT_TIMEOUT, STILL_ACTIVE},
        {"5", "3000", 200, WAIT_TIMEOUT, STILL_ACTIVE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.exitCode) + " after " + row.sleepMs + " ms");
        const ScopedEnv childExit("SKYVANE_CHILD_EXIT", row.exitCode);
        const ScopedEnv childSleep("SKYVANE_CHILD_SLEEP_MS", row.sleepMs);
        Started started = Start("\"" + Child() + "\"");
        ASSERT_TRUE(started.ok) << started.error;
        EXPECT_EQ(WaitForSingleObject(started.info.hProcess, row.waitMs), row.wait);
        DWORD exitCode = 0xDEAD;
        EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &exitCode));
        EXPECT_EQ(exitCode, row.expected);
        if (row.wait == WAIT_TIMEOUT) {
            TerminateProcess(started.info.hProcess, 0);
            WaitForSingleObject(started.info.hProcess, INFINITE);
        }
        EXPECT_TRUE(CloseHandle(started.info.hThread));
        EXPECT_TRUE(CloseHandle(started.info.hProcess));
    }
}

} // namespace
