// The restore records on the real registry of the Windows build. Under Wine the registry has
// no transactions (RegCreateKeyTransactedA answers ERROR_CALL_NOT_IMPLEMENTED, and
// RegOpenKeyTransactedA ends the program), so the records go in one by one with "key1" last;
// on Windows they go in one transaction. The outcome is the same, by the rows of the tests over
// the test stores. HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are mapped to scratch keys of this
// test, so the prefix's own keys are never touched.
#include "browsers/BrowserRows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace probe;

namespace {

class RealRegistryRecords : public ::testing::TestWithParam<Browser> {
  protected:
    void SetUp() override {
        m_scratch = "Software\\Skyvane Tests\\restore-" + std::to_string(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (m_scratch + "\\machine").c_str(), 0, nullptr,
                                  0, KEY_ALL_ACCESS, nullptr, &m_machine, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (m_scratch + "\\user").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &m_user, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_machine), ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_user), ERROR_SUCCESS);
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(m_machine);
        RegCloseKey(m_user);
        RegDeleteTreeA(HKEY_CURRENT_USER, m_scratch.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Skyvane Tests");
    }

    std::string m_scratch;
    HKEY m_machine = nullptr;
    HKEY m_user = nullptr;
};

TEST_P(RealRegistryRecords, FirstRunRecordsTheWholeSetAndPutsTheBrowserBack) {
    const Browser& browser = GetParam();
    browser.install();
    const std::vector<std::string> before = Snapshot(HKEY_CURRENT_USER, browser.strSettingsKey);

    auto pSettings = browser.create();
    pSettings->ApplySettings();
    EXPECT_EQ("Application Global Data", KeyClass(HKEY_LOCAL_MACHINE, RESTORE));
    EXPECT_EQ(browser.records, Records());
    EXPECT_NE(before, Snapshot(HKEY_CURRENT_USER, browser.strSettingsKey));
    pSettings->RestoreSettings();
    EXPECT_EQ(before, Snapshot(HKEY_CURRENT_USER, browser.strSettingsKey));
}

TEST_P(RealRegistryRecords, ASetWithoutKey1IsWrittenAgainAndOneWithKey1IsLeftAlone) {
    const Browser& browser = GetParam();
    browser.install();
    // What a run killed among its writes leaves: fields without key1, and records of another
    // browser beyond this one's end.
    SetText(HKEY_LOCAL_MACHINE, RESTORE, "type1", "old");
    SetText(HKEY_LOCAL_MACHINE, RESTORE, "key2", "old");
    SetText(HKEY_LOCAL_MACHINE, RESTORE, "key4", "HKEY_CURRENT_USER\\old\\a");
    SetText(HKEY_LOCAL_MACHINE, RESTORE, "key8", "HKEY_CURRENT_USER\\old\\b");
    browser.create()->ApplySettings();
    EXPECT_EQ(browser.records, Records());

    // Recorded: a later run writes nothing, whatever it finds.
    const std::vector<std::string> recorded = Snapshot(HKEY_LOCAL_MACHINE, RESTORE);
    SetText(HKEY_CURRENT_USER, browser.strSettingsKey, "ProxyServer", "http=other:1");
    browser.create()->ApplySettings();
    EXPECT_EQ(recorded, Snapshot(HKEY_LOCAL_MACHINE, RESTORE));
}

INSTANTIATE_TEST_SUITE_P(Browsers, RealRegistryRecords,
                         ::testing::Values(NAVIGATOR_BROWSER, EXPLORER_BROWSER),
                         [](const auto& paramInfo) {
                             return std::string(paramInfo.param.pszName);
                         });

} // namespace
