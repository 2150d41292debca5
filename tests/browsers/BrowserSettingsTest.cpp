// The save-once protocol of the Restore key, for both configurators.
#include "BrowserFixture.h"
#include "BrowserRows.h"

#include "browsers/ExplorerSettings.h"
#include "browsers/NetscapeSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace probe;

namespace {

// The order in which records must be set: key1, type1, value1, key2, ...
std::vector<std::string> RecordWrites(size_t nRecords) {
    std::vector<std::string> writes;
    for (size_t n = 1; n <= nRecords; ++n) {
        for (const char* pszField : {"key", "type", "value"}) {
            writes.push_back("set HKEY_LOCAL_MACHINE\\" + RESTORE + "\\" + pszField +
                             std::to_string(n));
        }
    }
    return writes;
}

// The same where the registry has no transactions: "key1", which marks the set as present, last.
std::vector<std::string> OrderedRecordWrites(size_t nRecords) {
    std::vector<std::string> writes = RecordWrites(nRecords);
    std::rotate(writes.begin(), writes.begin() + 1, writes.end());
    return writes;
}

class RestoreRecordTest : public BrowserTest, public ::testing::WithParamInterface<Browser> {};

TEST_P(RestoreRecordTest, FirstRunCreatesKeyWithClassAndWritesRecordsInOrder) {
    const Browser& browser = GetParam();
    for (const bool bNoTransactions : {false, true}) {
        SCOPED_TRACE(bNoTransactions ? "no registry transactions" : "registry transactions");
        ResetRegistry();
        browser.install();
        Recorder().m_bNoTransactions = bNoTransactions;
        Calls().clear();

        auto pSettings = browser.create();
        pSettings->ApplySettings();

        EXPECT_EQ("Application Global Data", KeyClass(HKEY_LOCAL_MACHINE, RESTORE));
        EXPECT_EQ(browser.records, Records());
        EXPECT_EQ(bNoTransactions ? OrderedRecordWrites(browser.records.size())
                                  : RecordWrites(browser.records.size()),
                  CallsStartingWith("set HKEY_LOCAL_MACHINE\\" + RESTORE));
        // The browser is changed only after the records are durable, and flushed at the end;
        // without transactions the fields are durable before "key1" is written.
        std::vector<std::string> flushes = {"flush HKEY_LOCAL_MACHINE", "flush HKEY_CURRENT_USER"};
        if (bNoTransactions) {
            flushes.insert(flushes.begin(), "flush HKEY_LOCAL_MACHINE");
            const auto itFieldsFlushed =
                std::find(Calls().begin(), Calls().end(), "flush HKEY_LOCAL_MACHINE");
            const auto itKey1 = std::find(Calls().begin(), Calls().end(),
                                          "set HKEY_LOCAL_MACHINE\\" + RESTORE + "\\key1");
            EXPECT_LT(itFieldsFlushed, itKey1);
        }
        EXPECT_EQ(flushes, CallsStartingWith("flush"));
        EXPECT_EQ("flush HKEY_CURRENT_USER", Calls().back());
        // The last flush of the records (a reverse iterator's base is one past its element).
        const auto itRecordsFlushed = std::prev(
            std::find(Calls().rbegin(), Calls().rend(), "flush HKEY_LOCAL_MACHINE").base());
        const auto itFirstChange =
            std::find_if(Calls().begin(), Calls().end(), [](const std::string& strCall) {
                return strCall.rfind("set HKEY_CURRENT_USER", 0) == 0;
            });
        EXPECT_LT(itRecordsFlushed, itFirstChange);
    }
}

TEST_P(RestoreRecordTest, BrowserNotInstalledStillRecordsAndCreatesNoBrowserKey) {
    const Browser& browser = GetParam();
    auto pSettings = browser.create();

    EXPECT_EQ("", pSettings->GetBrowserPath());
    EXPECT_EQ("", pSettings->GetBookmarksPath());
    pSettings->ApplySettings();
    EXPECT_EQ(EmptyRecords(browser), Records());
    pSettings->RestoreSettings();

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, NAVIGATOR));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, IE_SETTINGS));
    EXPECT_TRUE(CallsStartingWith("set HKEY_CURRENT_USER").empty());
}

// The state of the Restore key before a run, and whether that run writes the records.
struct SaveOnceRow {
    const char* pszState;
    std::function<void()> prepare;
    bool bWritesRecords;
    // A record value the store refuses in this run: then no record at all is stored (the set
    // is written whole or not at all), and the next run writes the whole set.
    const char* pszRefused = "";
    // The registry has no transactions: the fields go in one by one, "key1" last, and a set
    // without "key1" counts as absent.
    bool bNoTransactions = false;
};

const SaveOnceRow SAVE_ONCE_ROWS[] = {
    {"no Restore key", [] {}, true},
    {"key without values", [] { CreateKey(HKEY_LOCAL_MACHINE, RESTORE); }, true},
    {"key1 empty, stale records behind it",
     [] {
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "key1", "");
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "type1", "old");
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "value9", "old");
     },
     true},
    {"key1 set, later records missing",
     [] { SetText(HKEY_LOCAL_MACHINE, RESTORE, "key1", "HKEY_CURRENT_USER\\x\\y"); }, false},
    {"full record set of an earlier run",
     [] {
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "key1", "HKEY_CURRENT_USER\\x\\y");
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "type1", "int");
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "value1", "5");
     },
     false},
    {"no Restore key, value3 refused", [] {}, false, "value3"},
    {"key1 empty, type1 refused", [] { SetText(HKEY_LOCAL_MACHINE, RESTORE, "key1", ""); }, false,
     "type1"},
    {"no Restore key, no transactions", [] {}, true, "", true},
    // What a run without transactions killed among its writes leaves: fields but no key1, some
    // of another browser's set beyond this one's end.
    {"cut-short set without key1, no transactions",
     [] {
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "type1", "old");
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "key2", "old");
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "key4", "HKEY_CURRENT_USER\\old\\a");
         SetText(HKEY_LOCAL_MACHINE, RESTORE, "key8", "HKEY_CURRENT_USER\\old\\b");
     },
     true, "", true},
    {"key1 set, later records missing, no transactions",
     [] { SetText(HKEY_LOCAL_MACHINE, RESTORE, "key1", "HKEY_CURRENT_USER\\x\\y"); }, false, "",
     true},
    {"no Restore key, value3 refused, no transactions", [] {}, false, "value3", true},
    {"key1 empty, key2 refused, no transactions",
     [] { SetText(HKEY_LOCAL_MACHINE, RESTORE, "key1", ""); }, false, "key2", true},
};

TEST_P(RestoreRecordTest, Key1AloneDecidesWhetherRecordsAreWritten) {
    const Browser& browser = GetParam();
    for (const SaveOnceRow& row : SAVE_ONCE_ROWS) {
        SCOPED_TRACE(row.pszState);
        ResetRegistry();
        browser.install();
        row.prepare();
        const std::vector<std::string> before = Snapshot(HKEY_CURRENT_USER, browser.strSettingsKey);
        const std::vector<std::string> restoreBefore = Snapshot(HKEY_LOCAL_MACHINE, RESTORE);
        Calls().clear();
        Recorder().m_strRefusedName = row.pszRefused;
        Recorder().m_bNoTransactions = row.bNoTransactions;

        auto pSettings = browser.create();
        pSettings->ApplySettings();
        Recorder().m_strRefusedName.clear();
        if (row.bWritesRecords && row.bNoTransactions) {
            EXPECT_EQ(OrderedRecordWrites(browser.records.size()),
                      CallsStartingWith("set HKEY_LOCAL_MACHINE"));
            // Whatever a cut-short run left beyond the end is no longer part of the set.
            EXPECT_EQ(browser.records, Records());
        } else if (row.bWritesRecords) {
            EXPECT_EQ(RecordWrites(browser.records.size()),
                      CallsStartingWith("set HKEY_LOCAL_MACHINE"));
            const std::vector<std::vector<std::string>> records = Records();
            ASSERT_GE(records.size(), browser.records.size());
            EXPECT_EQ(browser.records,
                      std::vector<std::vector<std::string>>(
                          records.begin(),
                          records.begin() + static_cast<std::ptrdiff_t>(browser.records.size())));
        } else if (row.bNoTransactions && *row.pszRefused != '\0') {
            // Fields may have gone in, but not the marker: the set still counts as absent.
            EXPECT_EQ("", Query(HKEY_LOCAL_MACHINE, RESTORE, "key1").Text());
            const std::vector<std::string> writes = CallsStartingWith("set HKEY_LOCAL_MACHINE");
            EXPECT_EQ(writes.end(), std::find(writes.begin(), writes.end(),
                                              "set HKEY_LOCAL_MACHINE\\" + RESTORE + "\\key1"));
        } else {
            EXPECT_TRUE(CallsStartingWith("set HKEY_LOCAL_MACHINE").empty());
            EXPECT_EQ(restoreBefore, Snapshot(HKEY_LOCAL_MACHINE, RESTORE));
        }
        // The browser is switched and put back either way.
        EXPECT_FALSE(CallsStartingWith("set HKEY_CURRENT_USER").empty());
        pSettings->RestoreSettings();
        EXPECT_EQ(before, Snapshot(HKEY_CURRENT_USER, browser.strSettingsKey));
        if (*row.pszRefused != '\0') {
            browser.create()->ApplySettings();
            EXPECT_EQ(browser.records, Records());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Browsers, RestoreRecordTest,
                         ::testing::Values(NAVIGATOR_BROWSER, EXPLORER_BROWSER),
                         [](const auto& paramInfo) {
                             return std::string(paramInfo.param.pszName);
                         });

TEST_F(BrowserTest, NavigatorRecordsStayWhenExplorerIsConfiguredLater) {
    InstallNavigator();
    InstallExplorer();
    CNetscapeSettings navigator;
    navigator.ApplySettings();
    navigator.RestoreSettings();
    const std::vector<std::string> recorded = Snapshot(HKEY_LOCAL_MACHINE, RESTORE);

    SetText(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer", "gopher=g:70");
    CExplorerSettings explorer;
    explorer.ApplySettings();
    EXPECT_EQ("http=http://localhost:128;gopher=g:70",
              Query(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer").Text());
    explorer.RestoreSettings();

    EXPECT_EQ(recorded, Snapshot(HKEY_LOCAL_MACHINE, RESTORE));
    EXPECT_EQ(NAVIGATOR_BROWSER.records, Records());
    EXPECT_EQ("gopher=g:70", Query(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer").Text());
}

} // namespace
