// The launcher binary when it cannot start: one clear line on standard error, exit status 1,
// and the registry store left exactly as it was.
#include "skyvane/version.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string err;
    std::string out;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the launcher with the given environment settings in front and the given arguments (shell
// words); without arguments a launch that got past its start would show the Dialer (which these
// tests never reach).
Result RunLauncher(const std::string& env, const std::string& args = "") {
    const std::string id = std::to_string(::getpid());
    const fs::path errFile = fs::temp_directory_path() / ("launcher-err-" + id);
    const fs::path outFile = fs::temp_directory_path() / ("launcher-out-" + id);
    const std::string command = env + " timeout 20 '" + std::string(SKYVANE_LAUNCHER_EXE) + "' " +
                                args + " </dev/null >'" + outFile.string() + "' 2>'" +
                                errFile.string() + "'";
    const int raw = std::system(command.c_str());
    Result result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(errFile), ReadAll(outFile)};
    fs::remove(errFile);
    fs::remove(outFile);
    return result;
}

class LauncherStart : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("launcher-start-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Env(const fs::path& store) const {
        return "SKYVANE_REGISTRY='" + store.string() + "' SKYVANE_PHONEBOOK='" +
               (dir / "none.pbk").string() + "' SKYVANE_DIALUP_STATE='" + (dir / "state").string() +
               "'";
    }

    fs::path dir;
};

TEST_F(LauncherStart, WithoutADisplayItSaysSoOnOneLine) {
    Result r = RunLauncher("env -u DISPLAY " + Env(dir / "registry.db"));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("skyvane-launcher: cannot open a window: no X display (DISPLAY is not set)\n", r.err);
}

// --help and --version are options only as the one argument; any other arguments are a command
// line to run, which needs the display like any run.
TEST_F(LauncherStart, HelpAndVersionAloneAreOptionsAndAnythingElseIsACommandLine) {
    const struct {
        const char* args;
        int status;
        const char* outStart;
        const char* err;
    } rows[] = {
        {"--help", 0, "Usage: skyvane-launcher [COMMAND LINE]\n", ""},
        {"--version", 0, "skyvane-launcher " SKYVANE_VERSION "\n", ""},
        {"--version x", 1, "", "skyvane-launcher: cannot open a window"},
        {"x --help", 1, "", "skyvane-launcher: cannot open a window"},
        {"-v", 1, "", "skyvane-launcher: cannot open a window"},
    };
    for (const auto& row : rows) {
        Result r = RunLauncher("env -u DISPLAY " + Env(dir / "registry.db"), row.args);
        EXPECT_EQ(row.status, r.status) << row.args;
        EXPECT_EQ(0u, r.out.rfind(row.outStart, 0)) << row.args << ": " << r.out;
        EXPECT_EQ(0u, r.err.rfind(row.err, 0)) << row.args << ": " << r.err;
        if (row.status == 0) {
            EXPECT_EQ("", r.err) << row.args;
            EXPECT_FALSE(fs::exists(dir / "registry.db")) << "an option touches no store";
        }
    }
}

TEST_F(LauncherStart, AStoreItCannotUseIsNamedAndLeftAsItWas) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display: the display is opened before the store";

    // Not a database at all.
    const fs::path text = dir / "notes.db";
    std::ofstream(text) << "these are somebody's notes, not a registry\n";
    // A database with a damaged page.
    const fs::path damaged = dir / "damaged.db";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(damaged.c_str(), &db));
        sqlite3_exec(db,
                     "PRAGMA application_id=1399542354; CREATE TABLE t(x);"
                     "INSERT INTO t VALUES(randomblob(5000));",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4096 + 100);
        f << std::string(200, '\xAB');
    }
    // A folder where the store's folder should be is a plain file.
    const fs::path blocker = dir / "blocker";
    std::ofstream(blocker) << "x";

    for (const fs::path& store : {text, damaged, blocker / "registry.db"}) {
        const std::string before = fs::exists(store) ? ReadAll(store) : std::string();
        Result r = RunLauncher(Env(store));
        EXPECT_EQ(1, r.status) << store;
        EXPECT_EQ(0u, r.err.find("skyvane-launcher: cannot use the registry store " +
                                 store.string() + ": "))
            << r.err;
        EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
        if (fs::exists(store)) {
            EXPECT_EQ(before, ReadAll(store)) << store;
        }
    }
    EXPECT_FALSE(fs::exists(blocker / "registry.db"));
}

} // namespace
