// skyvane-reg against a store in a temporary folder: each verb, round trips through export and
// import, and bad input that must leave the store as it was.
#include "RegTool.h"

#include "platform/registry/DamagedStore.h"
#include "platform/registry_sqlite.h"
#include "support/Child.h"
#include "support/RegistryDump.h"
#include "support/TempDir.h"
#include "support/TextFiles.h"

#include "skyvane/version.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

class RegToolTest : public ::testing::Test {
  protected:
    Result Run(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), {"--store", m_store});
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        int code = regtool::RunRegTool(args, in, out, err);
        return {code, out.str(), err.str()};
    }
    std::string Export() {
        Result r = Run({"export", "-"});
        EXPECT_EQ(r.code, regtool::EXIT_DONE) << r.err;
        return r.out;
    }
    // Writes a file of the test's folder and gives its path.
    std::string File(const std::string& name, const std::string& bytes) {
        WriteFile(m_dir.File(name), bytes);
        return m_dir.File(name);
    }
    std::unique_ptr<platform::SqliteRegistry> OpenStore() {
        std::string error;
        auto store = platform::SqliteRegistry::Open(m_store, &error);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }

    TempDir m_dir;
    std::string m_store = m_dir.File("registry.db");
};

TEST_F(RegToolTest, AddThenQueryShowsEachType) {
    struct Row {
        std::vector<std::string> add;
        const char* shown;
    } rows[] = {
        {{"/v", "InstallDir", "/d", "D:\\Client\\"}, "    InstallDir    REG_SZ    D:\\Client\\\n"},
        {{"/ve", "/d", "dflt"}, "    (Default)    REG_SZ    dflt\n"},
        {{"/v", "Exp", "/t", "REG_EXPAND_SZ", "/d", "%HOME%"},
         "    Exp    REG_EXPAND_SZ    %HOME%\n"},
        {{"/v", "N", "/t", "reg_dword", "/d", "0x1F"}, "    N    REG_DWORD    0x1f\n"},
        {{"/v", "D", "/t", "REG_DWORD", "/d", "4294967295"}, "    D    REG_DWORD    0xffffffff\n"},
        {{"/v", "B", "/t", "REG_BINARY", "/d", "01ab"}, "    B    REG_BINARY    01AB\n"},
        {{"/v", "M", "/t", "REG_MULTI_SZ", "/d", "a\\0b"}, "    M    REG_MULTI_SZ    a\\0b\n"},
        {{"/v", "M2", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "x#y"},
         "    M2    REG_MULTI_SZ    x\\0y\n"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"add", "HKLM\\SOFTWARE\\Ostrel Technologies"};
        args.insert(args.end(), row.add.begin(), row.add.end());
        Result added = Run(args);
        ASSERT_EQ(added.code, regtool::EXIT_DONE) << added.err;
        EXPECT_EQ(added.out, "The operation completed successfully.\n");
        std::vector<std::string> query = {"query", "hklm\\software\\ostrel technologies"};
        query.insert(query.end(), row.add.begin(), row.add.begin() + (row.add[0] == "/v" ? 2 : 1));
        Result shown = Run(query);
        ASSERT_EQ(shown.code, regtool::EXIT_DONE) << shown.err;
        EXPECT_EQ(shown.out,
                  std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Ostrel Technologies\n") + row.shown);
    }
    // The stored bytes: REG_SZ with its NUL, the multi-string list with its two.
    auto store = OpenStore();
    platform::RegistryValue value;
    ASSERT_EQ(store->QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies", "InstallDir",
                                &value),
              ERROR_SUCCESS);
    EXPECT_EQ(value.data.size(), 11u);
    ASSERT_EQ(store->QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies", "M", &value),
              ERROR_SUCCESS);
    EXPECT_EQ(value.data, (std::vector<BYTE>{'a', 0, 'b', 0, 0}));
}

TEST_F(RegToolTest, QueryListsSubkeysOrTheWholeSubtree) {
    ASSERT_EQ(Run({"add", "HKCU\\Top\\A", "/v", "x", "/d", "1"}).code, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Top\\B\\C"}).code, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Top", "/v", "y", "/d", "2"}).code, 0);

    EXPECT_EQ(Run({"query", "HKEY_CURRENT_USER\\Top"}).out,
              "HKEY_CURRENT_USER\\Top\n    y    REG_SZ    2\n\n"
              "HKEY_CURRENT_USER\\Top\\A\nHKEY_CURRENT_USER\\Top\\B\n");
    EXPECT_EQ(Run({"query", "HKCU\\Top", "/s"}).out,
              "HKEY_CURRENT_USER\\Top\n    y    REG_SZ    2\n\n"
              "HKEY_CURRENT_USER\\Top\\A\n    x    REG_SZ    1\n\n"
              "HKEY_CURRENT_USER\\Top\\B\n\n"
              "HKEY_CURRENT_USER\\Top\\B\\C\n\n");

    Result missing = Run({"query", "HKCU\\Top\\Nope"});
    EXPECT_EQ(missing.code, regtool::EXIT_FAILED);
    EXPECT_NE(missing.err.find("HKEY_CURRENT_USER\\Top\\Nope"), std::string::npos);
    Result noValue = Run({"query", "HKCU\\Top", "/v", "zz"});
    EXPECT_EQ(noValue.code, regtool::EXIT_FAILED);
    EXPECT_NE(noValue.err.find("\"zz\""), std::string::npos);
}

TEST_F(RegToolTest, AddAsksBeforeOverwritingAndRefusesBadData) {
    ASSERT_EQ(Run({"add", "HKLM\\K", "/v", "v", "/d", "old"}).code, 0);
    Result no = Run({"add", "HKLM\\K", "/v", "v", "/d", "new"}, "n\n");
    EXPECT_EQ(no.code, regtool::EXIT_FAILED);
    EXPECT_NE(no.out.find("Value v exists, overwrite (Yes/No)? "), std::string::npos);
    EXPECT_NE(Run({"query", "HKLM\\K", "/v", "v"}).out.find("old"), std::string::npos);
    EXPECT_EQ(Run({"add", "HKLM\\K", "/v", "v", "/d", "new"}, "yes\n").code, 0);
    EXPECT_EQ(Run({"add", "HKLM\\K", "/v", "v", "/d", "newer", "/f"}).code, 0);
    EXPECT_NE(Run({"query", "HKLM\\K", "/v", "v"}).out.find("newer"), std::string::npos);

    const std::string before = Export();
    struct Row {
        std::vector<std::string> args;
        const char* says;
    } rows[] = {
        {{"add", "HKLM\\New", "/v", "n", "/t", "REG_DWORD", "/d", "12x"}, "REG_DWORD"},
        {{"add", "HKLM\\New", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"}, "REG_DWORD"},
        {{"add", "HKLM\\New", "/v", "n", "/t", "REG_DWORD", "/d", "-1"}, "REG_DWORD"},
        {{"add", "HKLM\\New", "/v", "n", "/t", "REG_BINARY", "/d", "abc"}, "REG_BINARY"},
        {{"add", "HKLM\\New", "/v", "n", "/t", "REG_QWORD", "/d", "1"}, "unknown type"},
        {{"add", "HKLM\\New\\\\x"}, "bad key"},
        {{"add", "HKU\\New"}, "bad key"},
        {{"add", "HKLM\\New", "/v"}, "needs a value"},
        {{"add", "HKLM\\New", "/q"}, "unknown option"},
    };
    for (const Row& row : rows) {
        Result r = Run(row.args);
        EXPECT_EQ(r.code, regtool::EXIT_USAGE) << row.says;
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(Export(), before);
}

TEST_F(RegToolTest, DeleteValuesKeysAndTrees) {
    ASSERT_EQ(Run({"add", "HKCU\\T\\Sub\\Deep", "/v", "d", "/d", "1"}).code, 0);
    ASSERT_EQ(Run({"add", "HKCU\\T", "/v", "a", "/d", "1"}).code, 0);
    ASSERT_EQ(Run({"add", "HKCU\\T", "/v", "b", "/d", "2"}).code, 0);
    ASSERT_EQ(Run({"add", "HKCU\\T", "/ve", "/d", "3"}).code, 0);

    EXPECT_EQ(Run({"delete", "HKCU\\T", "/v", "a"}, "no\n").code, regtool::EXIT_FAILED);
    EXPECT_EQ(Run({"delete", "HKCU\\T", "/v", "a"}, "y\n").code, regtool::EXIT_DONE);
    EXPECT_EQ(Run({"query", "HKCU\\T", "/v", "a"}).code, regtool::EXIT_FAILED);
    EXPECT_EQ(Run({"delete", "HKCU\\T", "/ve", "/f"}).code, regtool::EXIT_DONE);
    EXPECT_EQ(Run({"delete", "HKCU\\T", "/v", "a", "/f"}).code, regtool::EXIT_FAILED);
    EXPECT_EQ(Run({"delete", "HKCU\\T", "/va", "/f"}).code, regtool::EXIT_DONE);
    EXPECT_EQ(Run({"query", "HKCU\\T"}).out, "HKEY_CURRENT_USER\\T\n\nHKEY_CURRENT_USER\\T\\Sub\n");

    EXPECT_EQ(Run({"delete", "HKCU\\T"}, "").code, regtool::EXIT_FAILED); // no answer: no
    EXPECT_EQ(Run({"query", "HKCU\\T\\Sub\\Deep"}).code, regtool::EXIT_DONE);
    EXPECT_EQ(Run({"delete", "HKCU\\T", "/f"}).code, regtool::EXIT_DONE);
    EXPECT_EQ(Run({"query", "HKCU\\T"}).code, regtool::EXIT_FAILED);
    EXPECT_EQ(Run({"delete", "HKCU\\T", "/f"}).code, regtool::EXIT_FAILED);
    EXPECT_EQ(Run({"delete", "HKCU", "/f"}).code, regtool::EXIT_USAGE);
}

// Fills a store with every kind of content the tool must carry.
void FillStore(platform::SqliteRegistry& store) {
    bool created = false;
    std::vector<BYTE> every(256);
    for (int i = 0; i < 256; ++i) {
        every[i] = static_cast<BYTE>(i);
    }
    store.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0", "",
                    &created);
    store.CreateKey(HKEY_CURRENT_USER, "Software\\Classy", "Class \"Q\" \\", &created);
    store.CreateKey(HKEY_CLASSES_ROOT, "Empty\\Nested Empty", "", &created);
    store.CreateKey(HKEY_CURRENT_USER, "Odd ]name[ ;x\\\xE9t\xE9", "", &created);
    std::vector<std::tuple<HKEY, std::string, platform::RegistryValue>> values = {
        {HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0",
         {"InstallDir", REG_SZ, {'D', ':', '\\', 0}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"", REG_EXPAND_SZ, {'%', 'X', '%', 0}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"bytes", REG_BINARY, every}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"dword", REG_DWORD, {1, 0, 0, 0}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"short dword", REG_DWORD, {1}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"none", REG_NONE, {}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"text\\\"q\"", REG_SZ, {0xE9, '\r', '\n', 0}}},
        {HKEY_CURRENT_USER, "Software\\Classy", {"unterminated", REG_SZ, {'x'}}},
        {HKEY_CURRENT_USER, "", {"at root", REG_SZ, {'r', 0}}},
        {HKEY_CURRENT_USER, "Odd ]name[ ;x\\\xE9t\xE9", {"@", REG_SZ, {0}}},
    };
    for (const auto& [root, path, value] : values) {
        EXPECT_EQ(store.SetValue(root, path, value), ERROR_SUCCESS) << value.name;
    }
}

TEST_F(RegToolTest, ExportThenImportGivesBackTheSameStore) {
    {
        auto store = OpenStore();
        FillStore(*store);
    }
    std::string original;
    {
        auto store = OpenStore();
        original = DumpStore(*store);
    }
    std::string file = m_dir.File("all.reg");
    Result exported = Run({"export", file});
    ASSERT_EQ(exported.code, regtool::EXIT_DONE) << exported.err;
    EXPECT_EQ(ReadFile(file).rfind("REGEDIT4\r\n", 0), 0u);

    m_store = m_dir.File("copy.db");
    Result imported = Run({"import", file});
    ASSERT_EQ(imported.code, regtool::EXIT_DONE) << imported.err;
    auto copy = OpenStore();
    EXPECT_EQ(DumpStore(*copy), original);
    EXPECT_EQ(Export(), ReadFile(file));
}

TEST_F(RegToolTest, ExportOfOneKeyAndOverwriteRules) {
    ASSERT_EQ(Run({"add", "HKLM\\A\\B", "/v", "v", "/d", "1"}).code, 0);
    ASSERT_EQ(Run({"add", "HKLM\\Other", "/v", "w", "/d", "2"}).code, 0);
    std::string file = m_dir.File("a.reg");
    ASSERT_EQ(Run({"export", "HKLM\\A", file}).code, regtool::EXIT_DONE);
    EXPECT_EQ(ReadFile(file), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
                              "\r\n[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"v\"=\"1\"\r\n\r\n");
    Result again = Run({"export", "HKLM\\Other", file});
    EXPECT_EQ(again.code, regtool::EXIT_FAILED);
    EXPECT_NE(again.err.find("/y"), std::string::npos);
    EXPECT_EQ(Run({"export", "HKLM\\Other", file, "/y"}).code, regtool::EXIT_DONE);
    EXPECT_NE(ReadFile(file).find("\"w\"=\"2\""), std::string::npos);
    EXPECT_EQ(Run({"export", "HKLM\\Missing", m_dir.File("m.reg")}).code, regtool::EXIT_FAILED);
}

TEST_F(RegToolTest, BadRegFilesChangeNothing) {
    ASSERT_EQ(Run({"add", "HKLM\\Keep", "/v", "v", "/d", "1"}).code, 0);
    const std::string before = Export();
    const std::string good = "[HKLM\\Keep]\r\n\"v\"=\"changed\"\r\n[HKLM\\Added]\r\n";
    struct Row {
        const char* what;
        std::string file;
        const char* says;
    } rows[] = {
        {"unknown header", "REGEDIT3\r\n" + good, "line 1: unknown header"},
        {"unbalanced bracket", "REGEDIT4\r\n" + good + "[HKLM\\Broken\r\n", "line 5:"},
        {"unbalanced quote", "REGEDIT4\r\n" + good + "\"x\"=\"open\r\n", "line 5:"},
        {"bad hex", "REGEDIT4\r\n" + good + "\"x\"=hex:01,zz\r\n", "line 5: bad hex"},
        {"unknown type", "REGEDIT4\r\n" + good + "\"x\"=float:1.5\r\n", "line 5: unknown value"},
        {"empty file", "", "line 1: unknown header"},
        {"overlong UTF-8",
         "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n" + good + "\"x\"=\"a\xC0\x8A\"\r\n",
         "line 5: not UTF-8 text: an overlong form of U+000A"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Result r = Run({"import", File("bad.reg", row.file)});
        EXPECT_EQ(r.code, regtool::EXIT_FAILED);
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
        EXPECT_EQ(Export(), before);
    }
    // The same changes without the fault go through, from standard input too.
    Result ok = Run({"import", "-"}, "REGEDIT4\r\n" + good);
    ASSERT_EQ(ok.code, regtool::EXIT_DONE) << ok.err;
    EXPECT_NE(Run({"query", "HKLM\\Keep", "/v", "v"}).out.find("changed"), std::string::npos);
    EXPECT_EQ(Run({"query", "HKLM\\Added"}).code, regtool::EXIT_DONE);
}

TEST_F(RegToolTest, ImportDeletesKeysAndValues) {
    ASSERT_EQ(Run({"add", "HKCU\\Tree\\Sub", "/v", "s", "/d", "1"}).code, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Keep", "/v", "gone", "/d", "1"}).code, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Keep", "/v", "stays", "/d", "1"}).code, 0);
    Result r = Run({"import", File("del.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                              "[-HKEY_CURRENT_USER\\Tree]\r\n"
                                              "[-HKEY_CURRENT_USER\\Never There]\r\n"
                                              "[HKEY_CURRENT_USER\\Keep]\r\n\"gone\"=-\r\n"
                                              "\"never\"=-\r\n")});
    ASSERT_EQ(r.code, regtool::EXIT_DONE) << r.err;
    EXPECT_EQ(Run({"query", "HKCU\\Tree"}).code, regtool::EXIT_FAILED);
    EXPECT_EQ(Run({"query", "HKCU\\Keep"}).out,
              "HKEY_CURRENT_USER\\Keep\n    stays    REG_SZ    1\n\n");
}

TEST_F(RegToolTest, CommandLineAndStoreFaults) {
    Result help = Run({"--help"});
    EXPECT_EQ(help.code, regtool::EXIT_DONE);
    EXPECT_NE(help.out.find("Usage: skyvane-reg"), std::string::npos);
    EXPECT_EQ(help.err, "");
    Result version = Run({"--version"});
    EXPECT_EQ(version.code, regtool::EXIT_DONE);
    EXPECT_EQ(version.out, "skyvane-reg " SKYVANE_VERSION "\n");
    EXPECT_EQ(Run({}).code, regtool::EXIT_USAGE);
    EXPECT_EQ(Run({"frobnicate"}).code, regtool::EXIT_USAGE);
    EXPECT_EQ(Run({"query"}).code, regtool::EXIT_USAGE);
    EXPECT_EQ(Run({"import"}).code, regtool::EXIT_USAGE);
    EXPECT_EQ(Run({"check", "HKLM"}).code, regtool::EXIT_USAGE);
    // Bad usage: the fault and the usage on standard error, nothing on standard output, exit 2.
    const struct {
        std::vector<std::string> args;
        const char* fault;
    } bad[] = {
        {{}, ""},
        {{"frobnicate"}, "skyvane-reg: unknown verb frobnicate\n"},
        {{"query"}, "skyvane-reg: query takes one operand\n"},
        {{"--store"}, "skyvane-reg: --store needs a value\n"},
        {{"check", "HKLM"}, "skyvane-reg: check takes no operands\n"},
    };
    for (const auto& row : bad) {
        Result r = Run(row.args);
        EXPECT_EQ(r.code, 2) << row.fault;
        EXPECT_EQ(r.out, "") << row.fault;
        EXPECT_EQ(r.err.rfind(row.fault, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("Usage: skyvane-reg [--store PATH] query KEY"), std::string::npos)
            << r.err;
    }

    // Reading a store that does not exist does not make one.
    Result query = Run({"query", "HKLM"});
    EXPECT_EQ(query.code, regtool::EXIT_FAILED);
    EXPECT_NE(query.err.find("does not exist"), std::string::npos) << query.err;
    EXPECT_FALSE(std::ifstream(m_store).good());

    // A store that is not one is reported and left alone, for every verb.
    m_store = File("text.db", "not a registry\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"query", "HKLM"},
          {"add", "HKLM\\x"},
          {"export", "-"},
          {"import", File("ok.reg", "REGEDIT4\r\n[HKLM\\x]\r\n")},
          {"check"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.code, regtool::EXIT_FAILED) << args[0];
        EXPECT_NE(r.err.find("left unchanged"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(m_store), "not a registry\n");
}

TEST_F(RegToolTest, CheckSaysWhetherTheStoreIsSound) {
    struct Row {
        const char* how;
        bool damaged;
        bool keepTime; // damage that left the file's time alone, so opening does not look
        int code;
        std::string says;
    } rows[] = {
        {"sound", false, false, regtool::EXIT_DONE,
         "The registry store " + m_store + " is sound.\n"},
        {"damaged, found on opening", true, false, regtool::EXIT_FAILED,
         "skyvane-reg: ERROR: the registry store " + m_store +
             " is damaged; it was left unchanged\n"},
        {"damaged, found by the check", true, true, regtool::EXIT_FAILED,
         "skyvane-reg: ERROR: the registry store " + m_store + " is damaged: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        std::remove(m_store.c_str());
        std::string bytes = damaged::MakeDamagedStore(m_store);
        if (row.damaged) {
            damaged::Overwrite(m_store, bytes, row.keepTime);
        }
        std::string before = ReadFile(m_store);
        Result r = Run({"check"});
        EXPECT_EQ(r.code, row.code);
        EXPECT_EQ((row.code == 0 ? r.out : r.err).substr(0, row.says.size()), row.says);
        EXPECT_TRUE(ReadFile(m_store) == before) << "the store was changed";
    }
}

// The program itself, finding its store through SKYVANE_REGISTRY.
TEST_F(RegToolTest, ProgramUsesTheStoreOfTheEnvironment) {
    auto run = [&](std::vector<std::string> args, std::string* out) {
        int code = -1;
        *out += OutputOfChild(
            {STDOUT_FILENO, STDERR_FILENO},
            [&] {
                setenv("SKYVANE_REGISTRY", m_store.c_str(), 1);
                std::vector<char*> argv = {const_cast<char*>(SKYVANE_REG_PROGRAM)};
                for (std::string& a : args) {
                    argv.push_back(a.data());
                }
                argv.push_back(nullptr);
                execv(argv[0], argv.data());
                return 127;
            },
            &code);
        return code;
    };
    std::string out;
    EXPECT_EQ(run({"add", "HKCU\\Env", "/v", "x", "/d", "from env"}, &out), 0);
    out.clear();
    EXPECT_EQ(run({"query", "HKCU\\Env", "/v", "x"}, &out), 0);
    EXPECT_EQ(out, "HKEY_CURRENT_USER\\Env\n    x    REG_SZ    from env\n");
    EXPECT_EQ(run({"query", "HKCU\\Missing"}, &out), 1);
    EXPECT_EQ(run({"bogus"}, &out), 2);
}

} // namespace
