// The recording fake, as the system's tests rely on it.
#include "platform/process_fake.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class FakeProcessTest : public testing::Test {
  protected:
    void SetUp() override { platform::InstallProcess(&m_fake); }
    void TearDown() override { platform::InstallProcess(nullptr); }

    BOOL Start(const std::string& commandLine, PROCESS_INFORMATION* info) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = 0;
        std::string writable = commandLine;
        return CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE,
                              NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, info);
    }

    platform::FakeProcessBackend m_fake;
};

TEST_F(FakeProcessTest, QueuedProgramsThenHandlerThenDefaultDecideEachStart) {
    m_fake.QueueProgram({.startError = ERROR_FILE_NOT_FOUND});
    m_fake.QueueProgram({.exitCode = 2});
    std::vector<std::string> seenByHandler;
    m_fake.SetHandler([&](const platform::ProcessStart& start) {
        seenByHandler.push_back(start.commandLine);
        return platform::FakeProgram{.exitCode = 7};
    });

    PROCESS_INFORMATION info{};
    EXPECT_FALSE(Start("first", &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    DWORD exitCode = 0;
    ASSERT_TRUE(Start("second", &info));
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 2u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);

    ASSERT_TRUE(Start("third", &info));
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 7u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);

    EXPECT_EQ(m_fake.CommandLines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(seenByHandler, (std::vector<std::string>{"third"}));
    EXPECT_EQ(m_fake.Starts()[1].startupInfo.dwFlags, STARTF_USESHOWWINDOW);
    EXPECT_EQ(m_fake.LiveChildren(), 0);
}

TEST_F(FakeProcessTest, RunningChildTimesOutUntilWaitedForWithoutLimit) {
    m_fake.QueueProgram({.exitCode = 3, .running = true});
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(Start("java", &info));
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(exitCode, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 5000), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 3u);
    EXPECT_EQ(m_fake.Waits(), (std::vector<DWORD>{5000, INFINITE}));
    EXPECT_EQ(m_fake.LiveChildren(), 1);
    CloseHandle(info.hProcess);
    EXPECT_EQ(m_fake.LiveChildren(), 1) << "the thread handle still holds it";
    CloseHandle(info.hThread);
    EXPECT_EQ(m_fake.LiveChildren(), 0);
}

TEST_F(FakeProcessTest, ExitCodeFailureAndSleepsAreScriptedAndRecordedAcrossThreads) {
    m_fake.QueueProgram({.exitCodeError = ERROR_ACCESS_DENIED});
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(Start("x", &info));
    DWORD exitCode = 0;
    EXPECT_FALSE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);

    std::thread other([] {
        for (int i = 0; i < 100; ++i) {
            Sleep(1000);
        }
    });
    for (int i = 0; i < 100; ++i) {
        Sleep(INFINITE);
    }
    other.join();
    std::vector<DWORD> sleeps = m_fake.Sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1000u), 100);
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), INFINITE), 100);
}

TEST_F(FakeProcessTest, WithoutABackendNothingStarts) {
    platform::InstallProcess(nullptr);
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(Start("x", &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_TRUE(m_fake.Starts().empty());
}

} // namespace
