// skyvane-restore on real store files: a browser left switched by a killed run, an empty
// Restore key, malformed record sets, and its command line.
#include "RestoreTool.h"

#include "browsers/BrowserFixture.h"
#include "browsers/BrowserRows.h"
#include "browsers/TempStore.h"

#include "browsers/ExplorerSettings.h"
#include "browsers/NetscapeSettings.h"

#include "skyvane/version.h"
#include "support/Environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace probe;

namespace {

// Writes the records, numbered from 1: each a location, a type and a value.
void WriteRecords(const std::vector<std::vector<std::string>>& records) {
    for (size_t n = 0; n < records.size(); ++n) {
        const std::string strN = std::to_string(n + 1);
        SetText(HKEY_LOCAL_MACHINE, RESTORE, "key" + strN, records[n][0]);
        SetText(HKEY_LOCAL_MACHINE, RESTORE, "type" + strN, records[n][1]);
        SetText(HKEY_LOCAL_MACHINE, RESTORE, "value" + strN, records[n][2]);
    }
}

struct Outcome {
    int nExit;
    std::string strOut;
    std::string strErr;
};

class RestoreToolTest : public ::testing::Test {
  protected:
    Outcome Run(std::vector<std::string> args) {
        m_store.Close();
        std::ostringstream out;
        std::ostringstream err;
        const int nExit = restore::RunRestoreTool(args, out, err);
        m_store.Open();
        return {nExit, out.str(), err.str()};
    }
    Outcome RunOnStore(bool bDryRun) {
        std::vector<std::string> args = {"--store", m_store.Path()};
        if (bDryRun) {
            args.push_back("--dry-run");
        }
        return Run(args);
    }
    // Every browser value, for checks that the browsers are back or were left alone.
    std::vector<std::vector<std::string>> Browsers() {
        return {Snapshot(HKEY_CURRENT_USER, NAV_JAVA), Snapshot(HKEY_CURRENT_USER, NAV_PROXY),
                Snapshot(HKEY_CURRENT_USER, NAV_CACHE), Snapshot(HKEY_CURRENT_USER, NAV_NETWORK),
                Snapshot(HKEY_CURRENT_USER, IE_SETTINGS)};
    }
    // The browsers and the Restore key: what a check for "nothing changed" compares.
    std::vector<std::vector<std::string>> Everything() {
        std::vector<std::vector<std::string>> all = Browsers();
        all.push_back(Snapshot(HKEY_LOCAL_MACHINE, RESTORE));
        return all;
    }

    void SetUp() override { m_store.Open(); }
    // Starts over with a new, empty store file.
    void FreshStore() {
        m_store.Close();
        std::filesystem::remove_all(m_store.Dir() / "registry.db");
        std::filesystem::remove(m_store.Dir() / "registry.db-wal");
        std::filesystem::remove(m_store.Dir() / "registry.db-shm");
        m_store.Open();
    }

    TempStore m_store;
};

TEST_F(RestoreToolTest, PutsBackNavigatorLeftSwitchedByAKilledRun) {
    InstallNavigator();
    const auto original = Browsers();
    CNetscapeSettings().ApplySettings(); // killed: RestoreSettings never runs
    const auto switched = Everything();
    ASSERT_NE(original, switched);

    const char* const apszLines[] = {
        "Java\\Enable Java = \"no\" (REG_SZ)",
        "Proxy Information\\Proxy Type = 3 (REG_DWORD)",
        "Proxy Information\\HTTP_Proxy = \"proxy.example.net\" (REG_SZ)",
        "Proxy Information\\HTTP_ProxyPort = 8080 (REG_DWORD)",
        "Cache\\Memory Cache Size = 1024 (REG_DWORD)",
        "Cache\\Disk Cache Size = 7680 (REG_DWORD)",
        "Network\\Max Connections = 4 (REG_DWORD)",
    };
    std::string strWould;
    std::string strWrote;
    for (const char* pszLine : apszLines) {
        strWould += "Would write " + NAV_RECORD + pszLine + "\n";
        strWrote += "Wrote " + NAV_RECORD + pszLine + "\n";
    }

    const Outcome dry = RunOnStore(true);
    EXPECT_EQ(restore::EXIT_DONE, dry.nExit) << dry.strErr;
    EXPECT_EQ(strWould + "7 of 7 values would be written (dry run: nothing was changed).\n",
              dry.strOut);
    EXPECT_EQ(switched, Everything());

    const Outcome real = RunOnStore(false);
    EXPECT_EQ(restore::EXIT_DONE, real.nExit) << real.strErr;
    EXPECT_EQ(strWrote + "7 of 7 values written.\n", real.strOut);
    EXPECT_EQ("", real.strErr);
    EXPECT_EQ(original, Browsers());
    EXPECT_EQ(switched.back(), Snapshot(HKEY_LOCAL_MACHINE, RESTORE));
}

TEST_F(RestoreToolTest, PutsBackExplorerKeepingTheBinaryProxyEnable) {
    InstallExplorer();
    std::string strList = "ftp=b:21";
    while (strList.size() < 1200) {
        strList += ";gopher=gopher-proxy.example.net:70";
    }
    SetText(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer", strList);
    const auto original = Browsers();
    CExplorerSettings().ApplySettings();
    const std::vector<std::string> records = Snapshot(HKEY_LOCAL_MACHINE, RESTORE);

    const Outcome real = RunOnStore(false);
    EXPECT_EQ(restore::EXIT_DONE, real.nExit) << real.strErr;
    EXPECT_EQ(
        0u, real.strOut.find("Wrote " + IE_RECORD + "ProxyEnable = 0 [00 00 00 00] (REG_BINARY)\n"))
        << real.strOut;
    EXPECT_EQ(original, Browsers());
    EXPECT_EQ(records, Snapshot(HKEY_LOCAL_MACHINE, RESTORE));
}

TEST_F(RestoreToolTest, EmptyRestoreKeyChangesNothing) {
    const std::vector<std::pair<const char*, std::function<void()>>> rows = {
        {"no Restore key", [] {}},
        {"key without values", [] { CreateKey(HKEY_LOCAL_MACHINE, RESTORE); }},
        {"key1 empty",
         [] {
             WriteRecords({{"", "str", "x"}});
         }},
    };
    InstallExplorer();
    for (const auto& [pszCase, prepare] : rows) {
        SCOPED_TRACE(pszCase);
        prepare();
        const auto before = Everything();
        for (const bool bDryRun : {true, false}) {
            const Outcome outcome = RunOnStore(bDryRun);
            EXPECT_EQ(restore::EXIT_DONE, outcome.nExit);
            EXPECT_EQ("Nothing to restore: HKEY_LOCAL_MACHINE\\SOFTWARE\\Ostrel "
                      "Technologies\\Skyvane\\Restore holds no records.\n",
                      outcome.strOut);
            EXPECT_EQ("", outcome.strErr);
            EXPECT_EQ(before, Everything());
        }
    }
}

// A fault put into an otherwise sound record set, and what the refusal says about it.
struct MalformedRow {
    const char* pszCase;
    std::function<void()> spoil;
    std::string strMessage;
};

void SetRecord(const char* pszName, const std::string& strText) {
    SetText(HKEY_LOCAL_MACHINE, RESTORE, pszName, strText);
}

void DeleteRecord(const char* pszName) {
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, RESTORE.c_str(), 0, KEY_WRITE, &hKey));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(hKey, pszName));
    RegCloseKey(hKey);
}

TEST_F(RestoreToolTest, MalformedRecordSetIsRefusedAndNothingChanges) {
    const MalformedRow rows[] = {
        {"unknown type", [] { SetRecord("type2", "float"); },
         "record 2: type2 is \"float\", expected \"str\" or \"int\""},
        {"type in upper case", [] { SetRecord("type3", "INT"); },
         "record 3: type3 is \"INT\", expected \"str\" or \"int\""},
        {"number that is not one", [] { SetRecord("value1", "abc"); },
         "record 1: value1 \"abc\" is not a signed 32-bit decimal number"},
        {"number beyond %d", [] { SetRecord("value3", "4294967295"); },
         "record 3: value3 \"4294967295\" is not a signed 32-bit decimal number"},
        {"unknown root", [] { SetRecord("key2", "HKEY_NOWHERE\\Software\\x\\y"); },
         "record 2: key2 \"HKEY_NOWHERE\\Software\\x\\y\" names an unknown root \"HKEY_NOWHERE\""},
        {"no backslash", [] { SetRecord("key3", "ProxyEnable"); },
         "record 3: key3 \"ProxyEnable\" is not ROOT\\subkey\\value name"},
        {"no subkey", [] { SetRecord("key1", "HKEY_CURRENT_USER\\ProxyEnable"); },
         "record 1: key1 \"HKEY_CURRENT_USER\\ProxyEnable\" is not ROOT\\subkey\\value name"},
        {"empty subkey name", [] { SetRecord("key2", "HKEY_CURRENT_USER\\Software\\\\x\\y"); },
         "has an empty subkey name in its path"},
        {"into the Restore key",
         [] { SetRecord("key3", "HKEY_LOCAL_MACHINE\\" + RESTORE + "\\key1"); },
         "points into the Restore key itself"},
        {"type not text", [] { SetRaw(HKEY_LOCAL_MACHINE, RESTORE, "type1", REG_DWORD, Bytes(1)); },
         "record 1: type1 is not a text value"},
    };
    for (const MalformedRow& row : rows) {
        SCOPED_TRACE(row.pszCase);
        FreshStore();
        InstallExplorer();
        CExplorerSettings().ApplySettings();
        row.spoil();
        const auto before = Everything();

        for (const bool bDryRun : {true, false}) {
            const Outcome outcome = RunOnStore(bDryRun);
            EXPECT_EQ(restore::EXIT_REFUSED, outcome.nExit);
            EXPECT_EQ("", outcome.strOut);
            const std::string strPrefix =
                "skyvane-restore: malformed record set in HKEY_LOCAL_MACHINE\\" + RESTORE + ": ";
            EXPECT_EQ(strPrefix, outcome.strErr.substr(0, strPrefix.size()));
            EXPECT_NE(std::string::npos, outcome.strErr.find(row.strMessage)) << outcome.strErr;
            EXPECT_NE(std::string::npos, outcome.strErr.find("; nothing was changed.\n"));
            EXPECT_EQ(before, Everything());
        }
    }
}

// A record set that an earlier version, writing the records one by one, left cut short.
struct CutShortRow {
    const char* pszCase;
    bool bNavigator;
    std::vector<const char*> deleted;     // record values taken away after a whole set was written
    std::vector<int> restored;            // the records whose values are put back
    std::vector<std::string> notRestored; // what the report says of the others
};

TEST_F(RestoreToolTest, SetCutShortPutsBackTheWholeRecordsAndNamesTheOthers) {
    const std::vector<const char*> navLater = {
        "key2", "type2", "value2", "key3", "type3", "value3", "key4", "type4", "value4",
        "key5", "type5", "value5", "key6", "type6", "value6", "key7", "type7", "value7"};
    std::vector<const char*> keyOnly = navLater;
    keyOnly.insert(keyOnly.begin(), {"type1", "value1"});
    const CutShortRow rows[] = {
        {"killed after key1",
         true,
         keyOnly,
         {},
         {"record 1 (" + NAV_RECORD +
              "Java\\Enable Java) is incomplete: it has no type1 and value1",
          "record 2 (" + NAV_RECORD + "Proxy Information\\Proxy Type) is missing",
          "record 7 (" + NAV_RECORD + "Network\\Max Connections) is missing"}},
        {"killed after type3",
         true,
         {navLater.begin() + 5, navLater.end()},
         {1, 2},
         {"record 3 (" + NAV_RECORD +
              "Proxy Information\\HTTP_Proxy) is incomplete: it has no value3",
          "record 4 (" + NAV_RECORD + "Proxy Information\\HTTP_ProxyPort) is missing"}},
        {"killed after value4",
         true,
         {navLater.begin() + 9, navLater.end()},
         {1, 2, 3, 4},
         {"record 5 (" + NAV_RECORD + "Cache\\Memory Cache Size) is missing",
          "record 6 (" + NAV_RECORD + "Cache\\Disk Cache Size) is missing"}},
        {"type missing",
         false,
         {"type3"},
         {1, 2},
         {"record 3 (" + IE_RECORD + "Security_RunJavaApplets) is incomplete: it has no type3"}},
        {"value missing",
         false,
         {"value2"},
         {1, 3},
         {"record 2 (" + IE_RECORD + "ProxyServer) is incomplete: it has no value2"}},
    };
    for (const CutShortRow& row : rows) {
        SCOPED_TRACE(row.pszCase);
        FreshStore();
        row.bNavigator ? InstallNavigator() : InstallExplorer();
        std::vector<Stored> original;
        std::vector<Stored> switched;
        std::vector<std::pair<std::string, std::string>> locations;
        const std::string strRecordRoot = "HKEY_CURRENT_USER\\";
        const std::vector<std::string> recordKeys =
            row.bNavigator ? CNetscapeSettings::RecordKeys() : CExplorerSettings::RecordKeys();
        for (const std::string& strKey : recordKeys) {
            const std::string strPath = strKey.substr(strRecordRoot.size());
            const size_t nLast = strPath.rfind('\\');
            locations.emplace_back(strPath.substr(0, nLast), strPath.substr(nLast + 1));
            original.push_back(
                Query(HKEY_CURRENT_USER, locations.back().first, locations.back().second));
        }
        row.bNavigator ? CNetscapeSettings().ApplySettings() : CExplorerSettings().ApplySettings();
        for (const auto& [strPath, strName] : locations) {
            switched.push_back(Query(HKEY_CURRENT_USER, strPath, strName));
        }
        for (const char* pszName : row.deleted) {
            DeleteRecord(pszName);
        }
        const std::vector<std::string> restoreBefore = Snapshot(HKEY_LOCAL_MACHINE, RESTORE);

        const Outcome dry = RunOnStore(true);
        EXPECT_EQ(restore::EXIT_INCOMPLETE, dry.nExit);
        const Outcome real = RunOnStore(false);
        EXPECT_EQ(restore::EXIT_INCOMPLETE, real.nExit);
        for (const std::string& strWhat : row.notRestored) {
            EXPECT_NE(std::string::npos, dry.strOut.find("Cannot restore " + strWhat + "\n"))
                << dry.strOut;
            EXPECT_NE(std::string::npos, real.strOut.find("Not restored: " + strWhat + "\n"))
                << real.strOut;
        }
        const std::string strCount = std::to_string(row.restored.size()) + " of " +
                                     std::to_string(recordKeys.size()) + " values written.\n";
        EXPECT_NE(std::string::npos, real.strOut.find(strCount)) << real.strOut;
        EXPECT_NE(std::string::npos, real.strErr.find("cut short")) << real.strErr;
        for (size_t n = 0; n < locations.size(); ++n) {
            SCOPED_TRACE(recordKeys[n]);
            const bool bRestored = std::find(row.restored.begin(), row.restored.end(),
                                             static_cast<int>(n + 1)) != row.restored.end();
            const Stored now = Query(HKEY_CURRENT_USER, locations[n].first, locations[n].second);
            EXPECT_EQ((bRestored ? original : switched)[n].data, now.data);
        }
        EXPECT_EQ(restoreBefore, Snapshot(HKEY_LOCAL_MACHINE, RESTORE));
    }
}

TEST_F(RestoreToolTest, NumbersKeepA4ByteBinaryAndMissingKeysAreNotCreated) {
    const std::string TEST_KEY = "Software\\Restore Test";
    SetRaw(HKEY_CURRENT_USER, TEST_KEY, "Binary4", REG_BINARY, Bytes(9));
    SetRaw(HKEY_CURRENT_USER, TEST_KEY, "Binary8", REG_BINARY, {9, 0, 0, 0, 0, 0, 0, 0});
    SetText(HKEY_CURRENT_USER, TEST_KEY, "Text", "nine");
    SetText(HKEY_CURRENT_USER, TEST_KEY, "", "old default");
    WriteRecords({
        {"HKEY_CURRENT_USER\\Software\\Restore Test\\Binary4", "int", "5"},
        {"HKEY_CURRENT_USER\\Software\\Restore Test\\Binary8", "int", "6"},
        {"HKEY_CURRENT_USER\\Software\\Restore Test\\Text", "int", "7"},
        {"HKEY_CURRENT_USER\\Software\\Restore Test\\Missing", "int", "-1"},
        {"HKEY_CURRENT_USER\\Software\\Gone\\Value", "str", "x"},
        {"HKEY_CURRENT_USER\\Software\\Restore Test\\", "str", "default"},
    });

    const Outcome outcome = RunOnStore(false);
    EXPECT_EQ(restore::EXIT_INCOMPLETE, outcome.nExit);
    EXPECT_EQ("Wrote HKEY_CURRENT_USER\\Software\\Restore Test\\Binary4 = 5 [05 00 00 00] "
              "(REG_BINARY)\n"
              "Wrote HKEY_CURRENT_USER\\Software\\Restore Test\\Binary8 = 6 (REG_DWORD)\n"
              "Wrote HKEY_CURRENT_USER\\Software\\Restore Test\\Text = 7 (REG_DWORD)\n"
              "Wrote HKEY_CURRENT_USER\\Software\\Restore Test\\Missing = -1 (REG_DWORD)\n"
              "Skipped HKEY_CURRENT_USER\\Software\\Gone\\Value: the key does not exist and is "
              "not created\n"
              "Wrote HKEY_CURRENT_USER\\Software\\Restore Test\\ = \"default\" (REG_SZ)\n"
              "5 of 6 values written.\n",
              outcome.strOut);
    EXPECT_EQ("skyvane-restore: 1 of 6 recorded values were not written.\n", outcome.strErr);

    const struct {
        const char* pszName;
        DWORD dwType;
        std::vector<BYTE> data;
    } expected[] = {
        {"Binary4", REG_BINARY, Bytes(5)},
        {"Binary8", REG_DWORD, Bytes(6)},
        {"Text", REG_DWORD, Bytes(7)},
        {"Missing", REG_DWORD, Bytes(0xFFFFFFFFu)},
        {"", REG_SZ, {'d', 'e', 'f', 'a', 'u', 'l', 't', 0}},
    };
    for (const auto& value : expected) {
        const Stored stored = Query(HKEY_CURRENT_USER, TEST_KEY, value.pszName);
        EXPECT_EQ(value.dwType, stored.dwType) << value.pszName;
        EXPECT_EQ(value.data, stored.data) << value.pszName;
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Gone"));
}

TEST_F(RestoreToolTest, CommandLine) {
    const Outcome help = Run({"--help"});
    EXPECT_EQ(restore::EXIT_DONE, help.nExit);
    EXPECT_EQ(0u, help.strOut.find("Usage: skyvane-restore [--dry-run] [--store PATH]\n"));
    EXPECT_EQ("", help.strErr);
    const Outcome version = Run({"--version"});
    EXPECT_EQ(restore::EXIT_DONE, version.nExit);
    EXPECT_EQ("skyvane-restore " SKYVANE_VERSION "\n", version.strOut);
    EXPECT_EQ("", version.strErr);

    const struct {
        std::vector<std::string> args;
        std::string strErr;
    } usage[] = {
        {{"--bogus"}, "skyvane-restore: unknown argument \"--bogus\"\n"},
        {{"--dry-run", "extra"}, "skyvane-restore: unknown argument \"extra\"\n"},
        {{"--store"}, "skyvane-restore: --store needs a file name\n"},
        {{"-v"}, "skyvane-restore: unknown argument \"-v\"\n"},
    };
    for (const auto& row : usage) {
        const Outcome outcome = Run(row.args);
        EXPECT_EQ(2, outcome.nExit) << "bad usage exits 2, as for every program";
        EXPECT_EQ(row.strErr + "Usage: skyvane-restore [--dry-run] [--store PATH]\n" +
                      "       skyvane-restore --help | --version\n",
                  outcome.strErr);
        EXPECT_EQ("", outcome.strOut);
    }

    // A store that does not exist is not made.
    const std::string strMissing = (m_store.Dir() / "none" / "registry.db").string();
    const Outcome missing = Run({"--store", strMissing});
    EXPECT_EQ(restore::EXIT_REFUSED, missing.nExit);
    EXPECT_NE(std::string::npos, missing.strErr.find("nothing was changed")) << missing.strErr;
    EXPECT_FALSE(std::filesystem::exists(strMissing));
}

TEST_F(RestoreToolTest, DefaultStoreComesFromTheEnvironment) {
    WriteRecords({{IE_RECORD + "ProxyServer", "str", "ftp=b:21"}});
    CreateKey(HKEY_CURRENT_USER, IE_SETTINGS);
    const ScopedEnv store("SKYVANE_REGISTRY", m_store.Path());
    const Outcome outcome = Run({"--dry-run"});
    EXPECT_EQ(restore::EXIT_DONE, outcome.nExit) << outcome.strErr;
    EXPECT_EQ("Would write " + IE_RECORD + "ProxyServer = \"ftp=b:21\" (REG_SZ)\n" +
                  "1 of 1 values would be written (dry run: nothing was changed).\n",
              outcome.strOut);
}

} // namespace
