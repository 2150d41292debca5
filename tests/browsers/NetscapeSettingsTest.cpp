// Navigator's seven settings: switched, recorded and put back with the types Navigator uses.
#include "BrowserFixture.h"

#include "browsers/NetscapeSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace probe;

namespace {

struct Setting {
    const std::string* pstrKey;
    const char* pszName;
};

const Setting SETTINGS[] = {
    {&NAV_JAVA, "Enable Java"},        {&NAV_PROXY, "Proxy Type"},
    {&NAV_PROXY, "HTTP_Proxy"},        {&NAV_PROXY, "HTTP_ProxyPort"},
    {&NAV_CACHE, "Memory Cache Size"}, {&NAV_CACHE, "Disk Cache Size"},
    {&NAV_NETWORK, "Max Connections"},
};

// Each setting as {type, bytes}, in table order.
std::vector<std::pair<DWORD, std::vector<BYTE>>> Values() {
    std::vector<std::pair<DWORD, std::vector<BYTE>>> values;
    for (const Setting& setting : SETTINGS) {
        const Stored stored = Query(HKEY_CURRENT_USER, *setting.pstrKey, setting.pszName);
        values.emplace_back(stored.Exists() ? stored.dwType : REG_NONE, stored.data);
    }
    return values;
}

TEST_F(BrowserTest, NavigatorIsSwitchedAndPutBack) {
    InstallNavigator();
    const auto before = Values();

    CNetscapeSettings settings;
    settings.ApplySettings();
    const std::vector<std::pair<DWORD, std::vector<BYTE>>> switched = {
        {REG_SZ, Sz("yes")},     {REG_DWORD, Bytes(1)},   {REG_SZ, Sz("http://localhost")},
        {REG_DWORD, Bytes(128)}, {REG_DWORD, Bytes(256)}, {REG_DWORD, Bytes(0)},
        {REG_DWORD, Bytes(12)},
    };
    EXPECT_EQ(switched, Values());

    settings.RestoreSettings();
    EXPECT_EQ(before, Values());
}

TEST_F(BrowserTest, NavigatorPaths) {
    SetText(HKEY_CLASSES_ROOT, "NetscapeMarkup\\protocol\\StdFileEditing\\server", "",
            "C:\\Program Files\\Netscape\\Communicator\\Program\\netscape.exe");
    SetText(HKEY_CURRENT_USER, NAVIGATOR + "\\Bookmark List", "File Location",
            "C:\\Netscape\\Users\\default\\bookmark.htm");
    CNetscapeSettings settings;
    EXPECT_EQ("C:\\Program Files\\Netscape\\Communicator\\Program\\netscape.exe",
              settings.GetBrowserPath());
    EXPECT_EQ("C:\\Netscape\\Users\\default\\bookmark.htm", settings.GetBookmarksPath());
}

// A setting as found before the first run, what its record holds, and what it is afterwards.
struct OddValueRow {
    const char* pszCase;
    int nSetting; // index into SETTINGS
    DWORD dwType; // REG_NONE: the value is missing
    std::vector<BYTE> data;
    std::string strRecord;
    DWORD dwRestoredType;
    std::vector<BYTE> restored;
};

TEST_F(BrowserTest, NavigatorOddValuesAreRecordedAndComeBackWithTheirTableType) {
    const OddValueRow rows[] = {
        {"Proxy Type missing", 1, REG_NONE, {}, "0", REG_DWORD, Bytes(0)},
        {"Enable Java missing", 0, REG_NONE, {}, "", REG_SZ, Sz("")},
        {"Max Connections 4294967295", 6, REG_DWORD, Bytes(4294967295u), "-1", REG_DWORD,
         Bytes(4294967295u)},
        {"port as 4-byte binary", 3, REG_BINARY, Bytes(8080), "8080", REG_DWORD, Bytes(8080)},
        {"cache size as text", 5, REG_SZ, Sz("AB"), "16961", REG_DWORD, Bytes(0x4241)},
        {"Enable Java as expandable text", 0, REG_EXPAND_SZ, Sz("no"), "no", REG_SZ, Sz("no")},
    };
    for (const OddValueRow& row : rows) {
        SCOPED_TRACE(row.pszCase);
        ResetRegistry();
        InstallNavigator();
        const Setting& setting = SETTINGS[row.nSetting];
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_CURRENT_USER, setting.pstrKey->c_str(), 0, KEY_WRITE, &hKey));
        RegDeleteValueA(hKey, setting.pszName);
        RegCloseKey(hKey);
        if (row.dwType != REG_NONE) {
            SetRaw(HKEY_CURRENT_USER, *setting.pstrKey, setting.pszName, row.dwType, row.data);
        }

        CNetscapeSettings settings;
        settings.ApplySettings();
        const auto records = Records();
        ASSERT_EQ(7u, records.size());
        EXPECT_EQ(row.strRecord, records[row.nSetting][2]);

        settings.RestoreSettings();
        const Stored restored = Query(HKEY_CURRENT_USER, *setting.pstrKey, setting.pszName);
        ASSERT_TRUE(restored.Exists());
        EXPECT_EQ(row.dwRestoredType, restored.dwType);
        EXPECT_EQ(row.restored, restored.data);
    }
}

TEST_F(BrowserTest, NavigatorLongTextsAreKeptWhole) {
    InstallNavigator();
    std::string strProxy = "http://";
    while (strProxy.size() < 1500) {
        strProxy += "very-long-proxy-host-name.";
    }
    strProxy += "example";
    const std::string strJava(3000, 'y');
    SetText(HKEY_CURRENT_USER, NAV_PROXY, "HTTP_Proxy", strProxy);
    SetText(HKEY_CURRENT_USER, NAV_JAVA, "Enable Java", strJava);

    CNetscapeSettings settings;
    settings.ApplySettings();
    const auto records = Records();
    ASSERT_EQ(7u, records.size());
    EXPECT_EQ(strJava, records[0][2]);
    EXPECT_EQ(strProxy, records[2][2]);

    settings.RestoreSettings();
    EXPECT_EQ(strJava, Query(HKEY_CURRENT_USER, NAV_JAVA, "Enable Java").Text());
    EXPECT_EQ(strProxy, Query(HKEY_CURRENT_USER, NAV_PROXY, "HTTP_Proxy").Text());
}

} // namespace
