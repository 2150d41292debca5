// The real backend, with real children: the helper program reports what it received.
#include "ChildReport.h"
#include "platform/process_posix.h"
#include "support/Environment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string WithBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class PosixProcessTest : public testing::Test {
  protected:
    void SetUp() override {
        platform::InstallProcess(&m_backend);
        ASSERT_TRUE(m_temp.Ok());
        m_dir = m_temp.Path();
        m_out = m_dir / "report";
        setenv("SKYVANE_CHILD_OUT", m_out.c_str(), 1);
        m_handlesBefore = platform::OpenProcessHandleCount();
    }

    void TearDown() override {
        EXPECT_EQ(platform::OpenProcessHandleCount(), m_handlesBefore) << "a handle was left open";
        m_environment.Restore();
        platform::InstallProcess(nullptr);
    }

    // Starts the command line; FALSE and the error code when it cannot start.
    BOOL Start(const std::string& commandLine, PROCESS_INFORMATION* info, DWORD* error,
               const char* currentDirectory = nullptr) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        std::string writable = commandLine;
        SetLastError(ERROR_SUCCESS);
        BOOL started =
            CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                           nullptr, currentDirectory, &startup, info);
        *error = GetLastError();
        return started;
    }

    // Runs to the end and returns the exit code (or 0xDEAD when it did not start).
    DWORD RunToEnd(const std::string& commandLine, const char* currentDirectory = nullptr) {
        PROCESS_INFORMATION info{};
        DWORD error = 0;
        if (!Start(commandLine, &info, &error, currentDirectory)) {
            ADD_FAILURE() << commandLine << " did not start: " << error;
            return 0xDEAD;
        }
        EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
        DWORD exitCode = 0xDEAD;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
        EXPECT_TRUE(CloseHandle(info.hProcess));
        EXPECT_TRUE(CloseHandle(info.hThread));
        return exitCode;
    }

    ChildReport Report() const { return ReadChildReport(m_out.string()); }

    // A copy of the helper under another directory and name.
    fs::path CopyHelper(const fs::path& dir, const std::string& name) {
        fs::create_directories(dir);
        fs::path target = dir / name;
        fs::copy_file(CHILD_HELPER_PATH, target);
        return target;
    }

    // A file below the test's folder (or at an absolute path) with the given permissions.
    fs::path WriteFile(const fs::path& name, const std::string& content, fs::perms perms) {
        fs::path path = m_dir / name;
        std::ofstream(path) << content;
        fs::permissions(path, perms);
        return path;
    }

    static std::string Helper() { return CHILD_HELPER_PATH; }

    platform::PosixProcessBackend m_backend;
    // The helper's variables and PATH are put back after each test.
    EnvironmentGuard m_environment{"SKYVANE_CHILD_OUT", "SKYVANE_CHILD_EXIT",
                                   "SKYVANE_CHILD_SLEEP_MS", "SKYVANE_CHILD_SIGNAL", "PATH"};
    TempDir m_temp{"process"};
    fs::path m_dir;
    fs::path m_out;
    int m_handlesBefore = 0;
};

TEST_F(PosixProcessTest, ProgramsThatCannotStartGiveTheirWindowsCodeAndStartNothing) {
    fs::path textFile = WriteFile("notes.txt", "no program\n", fs::perms::owner_all);
    fs::path unexecutable = WriteFile("plain", "#!/bin/sh\nexit 0\n", fs::perms::owner_read);
    fs::create_directories(m_dir / "folder");
    struct Row {
        std::string commandLine;
        DWORD error;
    } rows[] = {
        {"", ERROR_FILE_NOT_FOUND},
        {"\"\" a", ERROR_FILE_NOT_FOUND},
        {"skyvane-no-such-program-anywhere", ERROR_FILE_NOT_FOUND},
        {(m_dir / "missing").string() + " a", ERROR_FILE_NOT_FOUND},
        {(m_dir / "no-dir" / "missing").string(), ERROR_PATH_NOT_FOUND},
        {WithBackslashes((m_dir / "no-dir" / "missing").string()), ERROR_PATH_NOT_FOUND},
        {textFile.string() + "/x", ERROR_PATH_NOT_FOUND},
        {unexecutable.string(), ERROR_ACCESS_DENIED},
        {(m_dir / "folder").string(), ERROR_ACCESS_DENIED},
        // No "#!" line: it is not run through a shell.
        {textFile.string(), ERROR_BAD_EXE_FORMAT},
    };
    for (const Row& row : rows) {
        PROCESS_INFORMATION info{};
        info.hProcess = reinterpret_cast<HANDLE>(0x5A5A);
        DWORD error = 0;
        EXPECT_FALSE(Start(row.commandLine, &info, &error)) << row.commandLine;
        EXPECT_EQ(error, row.error) << row.commandLine;
        EXPECT_EQ(info.hProcess, reinterpret_cast<HANDLE>(0x5A5A)) << row.commandLine;
    }
    EXPECT_FALSE(fs::exists(m_out)) << "no child ran";
}

TEST_F(PosixProcessTest, ReturnsTheChildsExitCodeAndMapsSignalsToShellCodes) {
    for (DWORD code : {0u, 1u, 2u, 3u, 255u}) {
        setenv("SKYVANE_CHILD_EXIT", std::to_string(code).c_str(), 1);
        EXPECT_EQ(RunToEnd(Helper()), code);
    }
    unsetenv("SKYVANE_CHILD_EXIT");
    setenv("SKYVANE_CHILD_SIGNAL", "15", 1);
    EXPECT_EQ(RunToEnd(Helper()), 128u + 15u);
}

TEST_F(PosixProcessTest, RunningChildIsStillActiveAndALimitedWaitTimesOut) {
    setenv("SKYVANE_CHILD_SLEEP_MS", "700", 1);
    setenv("SKYVANE_CHILD_EXIT", "4", 1);
    PROCESS_INFORMATION info{};
    DWORD error = 0;
    ASSERT_TRUE(Start(Helper(), &info, &error));
    EXPECT_NE(info.dwProcessId, 0u);

    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(exitCode, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(info.hThread, 50), WAIT_TIMEOUT);

    EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 4u);
    // Asking twice gives the same code: the status is kept once collected.
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 4u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

TEST_F(PosixProcessTest, ArgumentsReachTheChildExactly) {
    struct Row {
        std::string tail;
        std::vector<std::string> args;
    } rows[] = {
        {"", {}},
        {"a b\tc", {"a", "b", "c"}},
        {R"("with blank" "" "tab	inside")", {"with blank", "", "tab\tinside"}},
        {R"(\"quoted\" "say ""hi""")", {R"("quoted")", R"(say "hi")"}},
        {R"(C:\dir\ "C:\dir with blank\\" \\\"x)",
         {R"(C:\dir\)", R"(C:\dir with blank\)", R"(\"x)"}},
        {R"("C:\Program Files\browser.exe" "C:\Users\me\bookmarks.htm")",
         {R"(C:\Program Files\browser.exe)", R"(C:\Users\me\bookmarks.htm)"}},
        {"$HOME `id` ; | & > * ~", {"$HOME", "`id`", ";", "|", "&", ">", "*", "~"}},
    };
    for (const Row& row : rows) {
        std::string line = Helper() + (row.tail.empty() ? "" : " " + row.tail);
        fs::remove(m_out);
        EXPECT_EQ(RunToEnd(line), 0u);
        std::vector<std::string> expected = {Helper()};
        expected.insert(expected.end(), row.args.begin(), row.args.end());
        EXPECT_EQ(Report().args, expected) << line;
    }
}

TEST_F(PosixProcessTest, ProgramPathMayUseBackslashesQuotesAndBlanks) {
    fs::path spaced = CopyHelper(m_dir / "Program Files" / "Sky", "helper.exe");
    std::string line = "\"" + WithBackslashes(spaced.string()) + "\" arg";
    EXPECT_EQ(RunToEnd(line), 0u);
    EXPECT_EQ(Report().args, (std::vector<std::string>{spaced.string(), "arg"}));

    setenv("SKYVANE_CHILD_EXIT", "6", 1);
    EXPECT_EQ(RunToEnd(WithBackslashes(Helper())), 6u);

    // Unquoted, the blank ends the program path: there is no guessing which blank was meant.
    PROCESS_INFORMATION info{};
    DWORD error = 0;
    EXPECT_FALSE(Start(WithBackslashes(spaced.string()), &info, &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
}

TEST_F(PosixProcessTest, BareProgramNameIsLookedUpOnPath) {
    // The first directory holds a file of that name that cannot be run: it is passed by.
    fs::create_directories(m_dir / "first");
    WriteFile("first/skyvane-helper", "not a program", fs::perms::owner_read);
    fs::path found = CopyHelper(m_dir / "second", "skyvane-helper");
    setenv("PATH", ((m_dir / "first").string() + ":" + (m_dir / "second").string()).c_str(), 1);
    setenv("SKYVANE_CHILD_EXIT", "9", 1);

    DWORD exitCode = RunToEnd("skyvane-helper x");
    ChildReport report = Report();

    std::string resolved;
    DWORD onlyUnrunnable = ERROR_SUCCESS;
    setenv("PATH", (m_dir / "first").c_str(), 1);
    onlyUnrunnable = platform::ResolveProgramPath("skyvane-helper", &resolved);

    EXPECT_EQ(exitCode, 9u);
    ASSERT_EQ(report.args.size(), 2u);
    EXPECT_EQ(report.args[1], "x");
    EXPECT_EQ(onlyUnrunnable, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// What a folder holds under the program's name.
enum class Holds { Nothing, Program, Unrunnable, Folder };

struct SearchRow {
    const char* what;
    const char* name;
    Holds own, cwd, path1, path2;
    const char* foundIn; // "own", "cwd", "path1", "path2"; or nullptr with error
    DWORD error;
};

TEST_F(PosixProcessTest, ProgramWithoutFolderIsFoundInOwnFolderThenCurrentDirectoryThenPath) {
    using enum Holds;
    const SearchRow rows[] = {
        {"no InstallDir: the boot program in the current directory", "VIZevu.exe", Nothing, Program,
         Nothing, Nothing, "cwd", ERROR_SUCCESS},
        {"own folder first", "VIZevu.exe", Program, Program, Program, Program, "own",
         ERROR_SUCCESS},
        {"current directory before PATH", "skyvane-helper", Nothing, Program, Program, Nothing,
         "cwd", ERROR_SUCCESS},
        {"PATH in its order", "skyvane-helper", Nothing, Nothing, Nothing, Program, "path2",
         ERROR_SUCCESS},
        {"a file that cannot be run is passed by", "VIZevu.exe", Unrunnable, Program, Nothing,
         Nothing, "cwd", ERROR_SUCCESS},
        {"a folder of that name is passed by", "VIZevu.exe", Folder, Folder, Program, Nothing,
         "path1", ERROR_SUCCESS},
        {"nowhere", "VIZevu.exe", Nothing, Nothing, Nothing, Nothing, nullptr,
         ERROR_FILE_NOT_FOUND},
        {"only a file that cannot be run", "VIZevu.exe", Nothing, Unrunnable, Folder, Nothing,
         nullptr, ERROR_ACCESS_DENIED},
    };
    int n = 0;
    for (const SearchRow& row : rows) {
        const fs::path base = m_dir / ("search" + std::to_string(n++));
        const char* const placeNames[] = {"own", "cwd", "path1", "path2"};
        const Holds holds[] = {row.own, row.cwd, row.path1, row.path2};
        for (int i = 0; i < 4; ++i) {
            const fs::path dir = base / placeNames[i];
            fs::create_directories(dir);
            switch (holds[i]) {
            case Nothing:
                break;
            case Program:
                CopyHelper(dir, row.name);
                break;
            case Unrunnable:
                WriteFile(dir / row.name, "not a program", fs::perms::owner_read);
                break;
            case Folder:
                fs::create_directories(dir / row.name);
                break;
            }
        }
        const platform::ProgramSearch places{(base / "own").string(), (base / "cwd").string(),
                                             (base / "path1").string() + ":" +
                                                 (base / "path2").string()};
        std::string found = "<unchanged>";
        EXPECT_EQ(platform::FindProgram(row.name, places, &found), row.error) << row.what;
        EXPECT_EQ(found, row.foundIn ? (base / row.foundIn / row.name).string() : "<unchanged>")
            << row.what;
    }

    // A name with a folder is taken as it stands, relative to the current directory.
    std::string found;
    EXPECT_EQ(platform::FindProgram("jdk\\java.exe", {}, &found), ERROR_SUCCESS);
    EXPECT_EQ(found, "jdk/java.exe");

    // This process's own folder is the test's build folder, where the helper is built too.
    EXPECT_EQ(platform::DefaultProgramSearch().ownDirectory,
              fs::path(Helper()).parent_path().string());

    // The motivating run: no "InstallDir", so the boot program is started as "VIZevu.exe", and
    // it lies in the current directory, not on PATH.
    CopyHelper(m_dir / "install", "VIZevu.exe");
    const fs::path savedDir = fs::current_path();
    setenv("PATH", (m_dir / "search0" / "path1").c_str(), 1);
    fs::current_path(m_dir / "install");
    setenv("SKYVANE_CHILD_EXIT", "7", 1);
    const DWORD exitCode = RunToEnd("VIZevu.exe");
    fs::current_path(savedDir);
    EXPECT_EQ(exitCode, 7u);
    EXPECT_EQ(Report().cwd, (m_dir / "install").string());
}

TEST_F(PosixProcessTest, ChildInheritsDirectoryAndEnvironmentButNoDescriptorsAbove2) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0); // no close-on-exec, like FLTK's wake-up pipe
    setenv("SKYVANE_CHILD_EXIT", "0", 1);
    EXPECT_EQ(RunToEnd(Helper()), 0u);
    ChildReport report = Report();
    close(pipeEnds[0]);
    close(pipeEnds[1]);

    EXPECT_EQ(report.cwd, fs::current_path().string());
    EXPECT_EQ(report.openDescriptors, "");

    fs::create_directories(m_dir / "work dir");
    EXPECT_EQ(RunToEnd(Helper(), WithBackslashes((m_dir / "work dir").string()).c_str()), 0u);
    EXPECT_EQ(Report().cwd, (m_dir / "work dir").string());
}

TEST_F(PosixProcessTest, RelativeProgramIsFoundFromTheCallersDirectoryNotTheChilds) {
    fs::path helper = CopyHelper(m_dir / "bin", "helper");
    fs::create_directories(m_dir / "elsewhere");
    fs::path relative = fs::relative(helper, fs::current_path());
    EXPECT_EQ(RunToEnd(WithBackslashes(relative.string()), (m_dir / "elsewhere").c_str()), 0u);
    EXPECT_EQ(Report().cwd, (m_dir / "elsewhere").string());

    PROCESS_INFORMATION info{};
    DWORD error = 0;
    EXPECT_FALSE(Start(Helper(), &info, &error, (m_dir / "no such dir").c_str()));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_DIRECTORY));
}

TEST_F(PosixProcessTest, BadHandlesFailWithInvalidHandle) {
    HANDLE bogus = reinterpret_cast<HANDLE>(0x7777);
    DWORD exitCode = 0;
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetExitCodeProcess(nullptr, &exitCode));
    EXPECT_FALSE(CloseHandle(bogus));

    PROCESS_INFORMATION info{};
    DWORD error = 0;
    ASSERT_TRUE(Start(Helper(), &info, &error));
    // A thread handle is no process handle.
    SetLastError(0);
    EXPECT_FALSE(GetExitCodeProcess(info.hThread, &exitCode));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_FALSE(CloseHandle(info.hProcess));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_FAILED);
    EXPECT_TRUE(CloseHandle(info.hThread));
}

TEST_F(PosixProcessTest, MissingStructuresAreRefused) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = Helper();
    SetLastError(0);
    EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CreateProcessA(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(PosixProcessTest, ApplicationNameAndEnvironmentBlockAreHonoured) {
    std::string line = "shown-name one";
    std::string block =
        "SKYVANE_CHILD_OUT=" + m_out.string() + '\0' + "SKYVANE_CHILD_EXIT=12" + '\0' + '\0';
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessA(Helper().c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                               block.data(), nullptr, &startup, &info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(exitCode, 12u);
    EXPECT_EQ(Report().args, (std::vector<std::string>{"shown-name", "one"}));
}

TEST_F(PosixProcessTest, SleepWaitsAtLeastTheTimeAsked) {
    auto start = std::chrono::steady_clock::now();
    Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

} // namespace
