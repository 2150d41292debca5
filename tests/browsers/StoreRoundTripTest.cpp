// Both configurators on the real store: what is on disk after ApplySettings and RestoreSettings.
#include "BrowserFixture.h"
#include "TempStore.h"

#include "browsers/ExplorerSettings.h"
#include "browsers/NetscapeSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace probe;

namespace {

struct Expected {
    const std::string* pstrKey;
    const char* pszName;
    DWORD dwType;
    std::vector<BYTE> data;
};

void ExpectValues(const std::vector<Expected>& expected) {
    for (const Expected& value : expected) {
        const Stored stored = Query(HKEY_CURRENT_USER, *value.pstrKey, value.pszName);
        EXPECT_TRUE(stored.Exists()) << value.pszName;
        EXPECT_EQ(value.dwType, stored.dwType) << value.pszName;
        EXPECT_EQ(value.data, stored.data) << value.pszName;
    }
}

std::string LongProxyList() {
    std::string strList = "ftp=b:21;http=a:80";
    for (int n = 0; strList.size() < 1500; ++n) {
        strList += ";socks" + std::to_string(n) + "=socks.example.net:1080";
    }
    return strList;
}

TEST(StoreRoundTripTest, BothBrowsersComeBackWithTheirValuesAndTableTypes) {
    TempStore store;
    store.Open();
    InstallNavigator();
    // Numbers that Navigator's key holds with other types.
    SetRaw(HKEY_CURRENT_USER, NAV_PROXY, "HTTP_ProxyPort", REG_BINARY, Bytes(8080));
    SetRaw(HKEY_CURRENT_USER, NAV_CACHE, "Disk Cache Size", REG_BINARY, {0x00, 0x1E});
    const std::string strList = LongProxyList();
    SetRaw(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyEnable", REG_DWORD, Bytes(0x00000100));
    SetText(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer", strList);
    SetDword(HKEY_CURRENT_USER, IE_SETTINGS, "Security_RunJavaApplets", 4294967295u);

    {
        CNetscapeSettings navigator;
        navigator.ApplySettings();
        CExplorerSettings explorer;
        explorer.ApplySettings();
        store.Close();
        store.Open();
        ExpectValues({
            {&NAV_PROXY, "HTTP_ProxyPort", REG_DWORD, Bytes(128)},
            {&IE_SETTINGS, "ProxyEnable", REG_BINARY, {1, 0, 0, 0}},
            {&IE_SETTINGS, "ProxyServer", REG_SZ,
             Sz("http=http://localhost:128;ftp=b:21;" + strList.substr(19))},
        });
        navigator.RestoreSettings();
        explorer.RestoreSettings();
    }
    store.Close();
    store.Open();

    ExpectValues({
        {&NAV_JAVA, "Enable Java", REG_SZ, Sz("no")},
        {&NAV_PROXY, "Proxy Type", REG_DWORD, Bytes(3)},
        {&NAV_PROXY, "HTTP_Proxy", REG_SZ, Sz("proxy.example.net")},
        {&NAV_PROXY, "HTTP_ProxyPort", REG_DWORD, Bytes(8080)},
        {&NAV_CACHE, "Memory Cache Size", REG_DWORD, Bytes(1024)},
        {&NAV_CACHE, "Disk Cache Size", REG_DWORD, Bytes(0x1E00)},
        {&NAV_NETWORK, "Max Connections", REG_DWORD, Bytes(4)},
        {&IE_SETTINGS, "ProxyEnable", REG_BINARY, Bytes(0x00000100)},
        {&IE_SETTINGS, "ProxyServer", REG_SZ, Sz(strList)},
        {&IE_SETTINGS, "Security_RunJavaApplets", REG_DWORD, Bytes(4294967295u)},
    });
    EXPECT_EQ("Application Global Data", KeyClass(HKEY_LOCAL_MACHINE, RESTORE));
    const auto records = Records();
    ASSERT_EQ(7u, records.size());
    EXPECT_EQ("8080", records[3][2]);
    EXPECT_EQ("7680", records[5][2]);
}

} // namespace
