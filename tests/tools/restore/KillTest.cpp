// The launcher killed at each disk write of a run (a preloaded library raises SIGKILL before the
// Nth write or sync), on the real store: the Restore key holds the whole record set or nothing,
// the browser is either untouched or recorded, and skyvane-restore always puts it back. And the
// path that used to lose the user's proxy for good: a kill among the record writes, a normal
// run, a run killed while the client runs, then skyvane-restore. Both on a store with registry
// transactions and on one without, where the records go in one by one with "key1" last.
#include "RestoreTool.h"

#include "browsers/BrowserFixture.h"
#include "browsers/TempStore.h"
#include "support/Spawn.h"

#include "platform/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>

using namespace probe;

namespace {

const std::string PRODUCT_KEY = "SOFTWARE\\Ostrel Technologies\\Skyvane";

// What a kill left behind, as the test sorts it.
enum class Left { Untouched, UntouchedRecorded, SwitchedRecorded };

// Whether a snapshot of the Restore key holds "key1", which marks the record set as present.
bool HasMarker(const std::vector<std::string>& records) {
    return std::any_of(records.begin(), records.end(),
                       [](const std::string& strLine) { return strLine.rfind("key1=", 0) == 0; });
}

const char* ModeName(bool bNoTransactions) {
    return bNoTransactions ? "no registry transactions" : "registry transactions";
}

class KillTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A first run on a machine: Navigator set up by the user, no Restore key, and an update
        // check done today so that no question is asked.
        m_store.Open();
        InstallNavigator();
        const CTime now = CTime::GetCurrentTime();
        char szToday[48];
        std::snprintf(szToday, sizeof(szToday), "%d %d %d", now.GetYear(), now.GetMonth(),
                      now.GetDay());
        SetText(HKEY_LOCAL_MACHINE, PRODUCT_KEY + "\\1.0", "InstallDir", "D:\\Client\\");
        SetText(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "Browser exe", "C:\\Netscape\\netscape.exe");
        SetText(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "Last Update", szToday);
        m_original = Browsers();
        m_store.Close();
        m_strPristine = (m_store.Dir() / "pristine.db").string();
        CopyStore(m_store.Path(), m_strPristine);
    }

    // A store file with its journal, over whatever is at `to`.
    static void CopyStore(const std::string& from, const std::string& to) {
        for (const char* pszEnd : {"", "-wal", "-shm"}) {
            std::filesystem::remove(to + pszEnd);
        }
        for (const char* pszEnd : {"", "-wal"}) {
            if (std::filesystem::exists(from + pszEnd)) {
                std::filesystem::copy_file(from + pszEnd, to + pszEnd);
            }
        }
    }

    std::vector<std::vector<std::string>> Browsers() {
        return {Snapshot(HKEY_CURRENT_USER, NAV_JAVA), Snapshot(HKEY_CURRENT_USER, NAV_PROXY),
                Snapshot(HKEY_CURRENT_USER, NAV_CACHE), Snapshot(HKEY_CURRENT_USER, NAV_NETWORK)};
    }

    // The store as a first run finds it.
    void StartOver() { CopyStore(m_strPristine, m_store.Path()); }

    // One run of the whole start-up sequence with `true` in the console's place, killed before
    // its Nth disk write (0: not killed). True when the kill ended it, false when it ran out.
    bool RunKilledAt(long nKillAt) {
        const pid_t pid = SpawnWithEnvironment(
            {SKYVANE_HEADLESS_LAUNCHER, "true"},
            {"SKYVANE_REGISTRY=" + m_store.Path(), "LD_PRELOAD=" SKYVANE_KILL_AT_WRITE,
             "SKYVANE_KILL_AT_WRITE=" + std::to_string(nKillAt),
             std::string("SKYVANE_HEADLESS_NO_TRANSACTIONS=") + (m_bNoTransactions ? "1" : "0"),
             // A sanitizer build wants its runtime first; the preloaded library goes before it.
             "ASAN_OPTIONS=verify_asan_link_order=0"},
            "/dev/null");
        EXPECT_GT(pid, 0);
        int status = 0;
        EXPECT_EQ(pid, waitpid(pid, &status, 0));
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(SIGKILL, WTERMSIG(status));
            return true;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return false;
    }

    // The browser's values and the Restore key's, as stored now.
    void Read(std::vector<std::vector<std::string>>* pBrowsers,
              std::vector<std::string>* pRecords) {
        m_store.Open();
        *pBrowsers = Browsers();
        *pRecords = Snapshot(HKEY_LOCAL_MACHINE, RESTORE);
        m_store.Close();
    }

    int Restore() {
        std::ostringstream out;
        std::ostringstream err;
        const int nExit = restore::RunRestoreTool({"--store", m_store.Path()}, out, err);
        EXPECT_EQ(restore::EXIT_DONE, nExit) << out.str() << err.str();
        return nExit;
    }

    TempStore m_store;
    bool m_bNoTransactions = false;
    std::string m_strPristine;
    std::vector<std::vector<std::string>> m_original;
};

TEST_F(KillTest, EveryKillPointLeavesTheRecordsWholeOrAbsentAndTheBrowserRestorable) {
    for (const bool bNoTransactions : {false, true}) {
        SCOPED_TRACE(ModeName(bNoTransactions));
        m_bNoTransactions = bNoTransactions;
        // The whole set, as a run that is not killed leaves it.
        StartOver();
        ASSERT_FALSE(RunKilledAt(0));
        std::vector<std::vector<std::string>> browsers;
        std::vector<std::string> wholeSet;
        Read(&browsers, &wholeSet);
        ASSERT_EQ(m_original, browsers);
        ASSERT_EQ(21u, wholeSet.size());

        const std::vector<std::string> noKey = {"<no key>"};
        std::map<Left, int> outcomes;
        long nKillPoints = 0;
        int nWithoutMarker = 0;
        for (long nKillAt = 1; nKillAt < 1000; ++nKillAt) {
            SCOPED_TRACE("killed before disk write " + std::to_string(nKillAt));
            StartOver();
            if (!RunKilledAt(nKillAt)) {
                break;
            }
            ++nKillPoints;
            std::vector<std::string> records;
            Read(&browsers, &records);
            // Without transactions a kill may leave fields, but never "key1" without the rest.
            const bool bUnmarked = records != noKey && !HasMarker(records);
            nWithoutMarker += bUnmarked ? 1 : 0;
            ASSERT_TRUE(records == noKey || records == wholeSet || (bNoTransactions && bUnmarked))
                << ::testing::PrintToString(records);
            const bool bRecorded = records == wholeSet;
            ASSERT_TRUE(bRecorded || browsers == m_original);
            ++outcomes[browsers == m_original
                           ? (bRecorded ? Left::UntouchedRecorded : Left::Untouched)
                           : Left::SwitchedRecorded];

            Restore();
            Read(&browsers, &records);
            EXPECT_EQ(m_original, browsers);
            if (bUnmarked) {
                // The next run completes the set.
                ASSERT_FALSE(RunKilledAt(0));
                Read(&browsers, &records);
                EXPECT_EQ(wholeSet, records);
                EXPECT_EQ(m_original, browsers);
            }
        }
        std::printf("%s, %ld kill points: %d left nothing recorded and the browser untouched "
                    "(%d of them with fields but no key1), %d the records and the browser "
                    "untouched, %d the records and the browser switched\n",
                    ModeName(bNoTransactions), nKillPoints, outcomes[Left::Untouched],
                    nWithoutMarker, outcomes[Left::UntouchedRecorded],
                    outcomes[Left::SwitchedRecorded]);
        // Kills fell before, among and after the record writes.
        EXPECT_GT(outcomes[Left::Untouched], 0);
        EXPECT_GT(outcomes[Left::SwitchedRecorded], 0);
        if (bNoTransactions) {
            EXPECT_GT(nWithoutMarker, 0);
        }
    }
}

TEST_F(KillTest, KillAmongTheRecordWritesThenARunThenAKilledRunLosesNoProxy) {
    for (const bool bNoTransactions : {false, true}) {
        SCOPED_TRACE(ModeName(bNoTransactions));
        m_bNoTransactions = bNoTransactions;
        // The last kill point before the records are stored: the kill falls among their writes.
        std::vector<std::vector<std::string>> browsers;
        std::vector<std::string> records;
        long nFirstRecorded = 0;
        for (long nKillAt = 1; nKillAt < 1000 && nFirstRecorded == 0; ++nKillAt) {
            StartOver();
            ASSERT_TRUE(RunKilledAt(nKillAt));
            Read(&browsers, &records);
            if (HasMarker(records)) {
                nFirstRecorded = nKillAt;
            }
        }
        ASSERT_GT(nFirstRecorded, 1);
        StartOver();
        ASSERT_TRUE(RunKilledAt(nFirstRecorded - 1));

        // A normal run, then one killed while the client runs: the first kill point that finds the
        // user's proxy switched to the local one.
        ASSERT_FALSE(RunKilledAt(0));
        const std::string strSaved = (m_store.Dir() / "after-normal-run.db").string();
        CopyStore(m_store.Path(), strSaved);
        bool bSwitched = false;
        for (long nKillAt = 1; nKillAt < 1000 && !bSwitched; ++nKillAt) {
            CopyStore(strSaved, m_store.Path());
            ASSERT_TRUE(RunKilledAt(nKillAt));
            m_store.Open();
            bSwitched =
                Query(HKEY_CURRENT_USER, NAV_PROXY, "HTTP_Proxy").Text() == "http://localhost";
            m_store.Close();
        }
        ASSERT_TRUE(bSwitched);

        Restore();
        Read(&browsers, &records);
        EXPECT_EQ(m_original, browsers);
        m_store.Open();
        EXPECT_EQ("proxy.example.net", Query(HKEY_CURRENT_USER, NAV_PROXY, "HTTP_Proxy").Text());
        m_store.Close();
    }
}

} // namespace
