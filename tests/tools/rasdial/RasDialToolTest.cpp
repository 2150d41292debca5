// skyvane-rasdial as a person uses it: each call is a process of its own, so a connection made
// by one call is listed and hung up by the next ones.
#include "skyvane/version.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

class RasDialToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.Ok());
        m_folder = m_temp.Path();
        std::ofstream(m_folder / "phonebook.pbk") << "[Office]\n"
                                                     "[Guarded]\nServerPassword=secret\n"
                                                     "[Saved]\nUserName=ann\nPassword=pw\n"
                                                     "ServerPassword=pw\n"
                                                     "[Busy]\nOutcomes=busy\n"
                                                     "[Odd]\nOutcomes=error:742\n"
                                                     "[InUse]\nOutcomes=refuse\n"
                                                     "[Drops]\nOutcomes=hangup\n";
        std::ofstream(m_folder / "other.pbk") << "[Elsewhere]\n";
    }

    Result Run(std::vector<std::string> args, const std::string& input = "") {
        std::vector<std::string> environment = {
            "SKYVANE_PHONEBOOK=" + (m_folder / "phonebook.pbk").string(),
            "SKYVANE_DIALUP_STATE=" + (m_folder / "state").string(), "SKYVANE_DIALUP_STEP_MS=0"};
        for (char** variable = environ; *variable != nullptr; ++variable) {
            if (std::strncmp(*variable, "SKYVANE_", 8) != 0)
                environment.push_back(*variable);
        }
        args.insert(args.begin(), SKYVANE_RASDIAL_PROGRAM);
        std::vector<char*> argv, envp;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        for (std::string& variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);

        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
            return {-1, "", "pipe"};
        pid_t pid = fork();
        if (pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
                close(fd);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        if (!input.empty() && write(in[1], input.data(), input.size()) < 0)
            ADD_FAILURE() << "cannot write the input";
        close(in[1]);
        Result result{-1, ReadAll(out[0]), ReadAll(err[0])};
        close(out[0]);
        close(err[0]);
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.code = WEXITSTATUS(status);
        return result;
    }

    std::size_t StateFiles() const {
        std::error_code error;
        std::size_t count = 0;
        for (auto it = std::filesystem::directory_iterator(m_folder / "state", error);
             !error && it != std::filesystem::directory_iterator(); ++it)
            ++count;
        return count;
    }

    TempDir m_temp{"rasdial"};
    std::filesystem::path m_folder;
};

const char* const kConnectWalk = "Opening port...\n"
                                 "Port opened.\n"
                                 "Dialing...\n"
                                 "Device connected.\n"
                                 "All devices connected.\n"
                                 "Verifying username and password...\n"
                                 "Authentication notified.\n"
                                 "Registering your computer on the network...\n"
                                 "Authenticated.\n"
                                 "Connected.\n";

struct Step {
    std::vector<std::string> args;
    int code;
    std::string out;  // whole standard output, unless empty
    std::string tail; // what standard output or error ends with, unless empty
    std::string input = "";
};

// One session: each row is a separate run of the tool, in order.
TEST_F(RasDialToolTest, ListDialAndHangUpAcrossProcesses) {
    const std::string done = "Command completed successfully.\n";
    const Step steps[] = {
        {{}, 0, "No connections\n" + done, ""},
        {{"Office"},
         0,
         std::string("Connecting to Office...\n") + kConnectWalk +
             "Successfully connected to Office.\n" + done,
         ""},
        {{}, 0, "Connected to\nOffice\n" + done, ""},
        {{"Guarded", "bob", "secret"}, 0, "", "Successfully connected to Guarded.\n" + done},
        {{"/disconnect"}, 2, "", "name the entry to hang up.\n"},
        {{"office", "/D"}, 0, done, ""},
        {{"Office", "/DISCONNECT"}, 1, "You are not connected to Office.\n", ""},
        {{"guarded", "/disconnect"}, 0, done, ""},
        {{"Guarded", "bob", "wrong"},
         1,
         "",
         "Remote Access error 691 - Access denied because username and/or password is invalid "
         "on the domain.\n"},
        {{"Busy"},
         1,
         "Connecting to Busy...\nOpening port...\nPort opened.\nDialing...\n"
         "Remote Access error 676 - The line is busy.\n",
         ""},
        {{"Nowhere"}, 1, "Remote Access error 623 - Cannot find the phone book entry.\n", ""},
        {{"Odd"}, 1, "", "Remote Access error 742.\n"},
        {{"InUse"},
         1,
         "Connecting to InUse...\nRemote Access error 633 - The port is already in use or is not "
         "configured for Remote Access dial out.\n",
         ""},
        {{"Drops"}, 1, "", "Disconnected.\nThe line was closed before the connection was made.\n"},
        {{"Saved"}, 0, "", done}, // the phone book's user name and saved password
        {{"Saved", "ann", ""}, 1, "", "invalid on the domain.\n"},
        {{"Guarded", "bob", "*"}, 0, "", done, "secret\n"},
        {{}, 0, "Connected to\nSaved\nGuarded\n" + done, ""},
        {{"saved", "/d"}, 0, done, ""},
        {{"/disconnect"}, 0, done, ""},
        {{"/disconnect"}, 1, "You are not connected.\n", ""},
        {{}, 0, "No connections\n" + done, ""},
    };
    for (const Step& step : steps) {
        std::string shown;
        for (const std::string& arg : step.args)
            shown += "[" + arg + "]";
        SCOPED_TRACE(shown);
        Result result = Run(step.args, step.input);
        EXPECT_EQ(step.code, result.code) << result.out << result.err;
        if (!step.out.empty()) {
            EXPECT_EQ(step.out, result.out);
        }
        if (!step.tail.empty()) {
            const std::string& text = step.code == 2 ? result.err : result.out;
            EXPECT_TRUE(text.size() >= step.tail.size() &&
                        text.compare(text.size() - step.tail.size(), step.tail.size(), step.tail) ==
                            0)
                << text;
        }
    }
    // Failed attempts were hung up by the tool: nothing is left behind.
    EXPECT_EQ(0u, StateFiles());
}

TEST_F(RasDialToolTest, OptionsAndUsage) {
    const std::string other = "/PHONEBOOK:" + (m_folder / "other.pbk").string();
    Result dialled = Run({"Elsewhere", other, "/domain:CORP"});
    EXPECT_EQ(0, dialled.code) << dialled.out;
    EXPECT_EQ(0, Run({"/disconnect"}).code);

    Result help = Run({"--help"});
    EXPECT_EQ(0, help.code);
    EXPECT_EQ(0u, help.out.rfind("Usage: skyvane-rasdial", 0));
    EXPECT_EQ("", help.err);
    Result version = Run({"--version"});
    EXPECT_EQ(0, version.code);
    EXPECT_EQ("skyvane-rasdial " SKYVANE_VERSION "\n", version.out);

    // Phone book faults are told on standard error with the file and line, and the rest of the
    // phone book is used; a phone book that was named must exist.
    const std::string broken = (m_folder / "broken.pbk").string();
    std::ofstream(broken) << "[Office]\n[office]\nno equals sign\n";
    const std::string missing = (m_folder / "missing.pbk").string();
    const std::string book = (m_folder / "phonebook.pbk").string();
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
        bool withoutBook;
    } faults[] = {
        {{"Office", "/PHONEBOOK:" + broken},
         0,
         "skyvane-rasdial: " + broken +
             ":2: a second entry named \"office\" (the first is on line 1) is left out with its "
             "keys\n"
             "skyvane-rasdial: " +
             broken + ":3: a line that is neither [entry], key=value nor a comment is left out\n",
         false},
        {{"Office", "/PHONEBOOK:" + missing},
         1,
         "skyvane-rasdial: " + missing + ": the phone book does not exist\n",
         false},
        {{"Office"},
         1,
         "skyvane-rasdial: " + book +
             ": the phone book does not exist (named by SKYVANE_PHONEBOOK)\n",
         true},
    };
    for (const auto& row : faults) {
        SCOPED_TRACE(row.args.back());
        if (row.withoutBook)
            std::filesystem::rename(book, book + ".away");
        Result result = Run(row.args);
        if (row.withoutBook)
            std::filesystem::rename(book + ".away", book);
        EXPECT_EQ(row.code, result.code) << result.out;
        EXPECT_EQ(row.err, result.err);
        if (row.code != 0) {
            EXPECT_EQ("Remote Access error 621 - Cannot open the phone book file.\n", result.out);
        }
    }
    EXPECT_EQ(0, Run({"/disconnect"}).code);

    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"/bogus"}, "Unknown option /bogus.\n"},
        {{"a", "b", "c", "d"}, "Too many arguments.\n"},
        {{"Office", "joe", "/disconnect"}, "/DISCONNECT takes an entry name only.\n"},
        {{std::string(257, 'x')}, "The entry name is longer than 256 characters.\n"},
        {{"--verbose"}, "Unknown option --verbose.\n"},
    };
    for (const auto& [args, message] : bad) {
        SCOPED_TRACE(message);
        Result result = Run(args);
        EXPECT_EQ(2, result.code);
        EXPECT_EQ(0u, result.err.rfind(message, 0)) << result.err;
        EXPECT_EQ("", result.out);
        EXPECT_NE(std::string::npos, result.err.find("\nUsage: skyvane-rasdial")) << result.err;
    }
}

} // namespace
