// Internet Explorer's three settings, and the merge of the proxy list.
#include "BrowserFixture.h"

#include "browsers/ExplorerSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace probe;

namespace {

struct MergeRow {
    const char* pszOld; // nullptr: the value is missing
    std::string strNew;
};

std::string LongList() {
    std::string strList = "ftp=ftp-proxy.example.net:21";
    for (int n = 0; strList.size() <= 1100; ++n) {
        strList += ";gopher" + std::to_string(n) + "=gopher-proxy.example.net:70";
    }
    return strList;
}

const std::string LONG_LIST = LongList();
const std::string LONG_WITH_HTTP = "socks=s:1080;http=a:80;" + LONG_LIST;

const MergeRow MERGE_ROWS[] = {
    {nullptr, "http=http://localhost:128"},
    {"", "http=http://localhost:128"},
    {"http=a:80", "http=http://localhost:128"},
    {"ftp=b:21", "http=http://localhost:128;ftp=b:21"},
    {"ftp=b:21;http=a:80;gopher=g:70", "http=http://localhost:128;ftp=b:21;gopher=g:70"},
    {"http=a:80;ftp=b:21", "http=http://localhost:128;ftp=b:21"},
    {"ftp=b:21;http=a:80", "http=http://localhost:128;ftp=b:21"},
    {"d:81", "http=http://localhost:128;d:81"},
    {"HTTP=a:80", "http=http://localhost:128;HTTP=a:80"},
    {"http=a:80;", "http=http://localhost:128;"},
    {"http=http://localhost:128", "http=http://localhost:128"},
    // Entries after a trailing or doubled separator, and "http=" that does not begin an entry:
    // every entry but the old HTTP one is kept, unchanged.
    {"http=a:80;;ftp=b:21", "http=http://localhost:128;;ftp=b:21"},
    {"ftp=b:21;http=a:80;", "http=http://localhost:128;ftp=b:21;"},
    {"ftp=b:21;;gopher=g:70", "http=http://localhost:128;ftp=b:21;;gopher=g:70"},
    {"ftp=b:21;xhttp=a:80", "http=http://localhost:128;ftp=b:21;xhttp=a:80"},
    {"ftp=http=b:21;http=a:80", "http=http://localhost:128;ftp=http=b:21"},
    {"ftp=b:21; http=a:80", "http=http://localhost:128;ftp=b:21"},
    {"http=a:80;http=c:80", "http=http://localhost:128;http=c:80"},
    {LONG_LIST.c_str(), "http=http://localhost:128;" + LONG_LIST},
    {LONG_WITH_HTTP.c_str(), "http=http://localhost:128;socks=s:1080;" + LONG_LIST},
};

TEST(ExplorerMergeTest, MergeKeepsEveryOtherEntryInOrder) {
    for (const MergeRow& row : MERGE_ROWS) {
        const std::string strOld = row.pszOld != nullptr ? row.pszOld : "";
        EXPECT_EQ(row.strNew, CExplorerSettings::MergeProxyServer(strOld)) << strOld;
    }
}

// Each merge row through the store: switched to the merged list, recorded and put back whole.
TEST_F(BrowserTest, ExplorerProxyListRoundTrip) {
    for (const MergeRow& row : MERGE_ROWS) {
        const std::string strOld = row.pszOld != nullptr ? row.pszOld : "";
        SCOPED_TRACE(strOld);
        ResetRegistry();
        CreateKey(HKEY_CURRENT_USER, IE_SETTINGS);
        if (row.pszOld != nullptr) {
            SetText(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer", strOld);
        }

        CExplorerSettings settings;
        settings.ApplySettings();
        const Stored merged = Query(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer");
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), merged.dwType);
        EXPECT_EQ(row.strNew, merged.Text());
        const auto records = Records();
        ASSERT_EQ(3u, records.size());
        EXPECT_EQ(strOld, records[1][2]);

        settings.RestoreSettings();
        const Stored restored = Query(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer");
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), restored.dwType);
        EXPECT_EQ(strOld, restored.Text());
    }
}

// "ProxyEnable" as found before the run, and "Security_RunJavaApplets".
struct NumberRow {
    const char* pszCase;
    DWORD dwEnableType; // REG_NONE: missing
    DWORD dwEnable;
    DWORD dwAppletsType;
    DWORD dwApplets;
    std::vector<std::string> recordValues; // value1 and value3
};

TEST_F(BrowserTest, ExplorerNumbersKeepTheirBytesAndTakeTheirTableTypes) {
    const NumberRow rows[] = {
        {"binary and dword", REG_BINARY, 0, REG_DWORD, 3, {"0", "3"}},
        {"ProxyEnable as dword", REG_DWORD, 0x01020304, REG_DWORD, 0, {"16909060", "0"}},
        {"both missing", REG_NONE, 0, REG_NONE, 0, {"0", "0"}},
        {"all bits set", REG_BINARY, 4294967295u, REG_DWORD, 4294967295u, {"-1", "-1"}},
    };
    for (const NumberRow& row : rows) {
        SCOPED_TRACE(row.pszCase);
        ResetRegistry();
        CreateKey(HKEY_CURRENT_USER, IE_SETTINGS);
        if (row.dwEnableType != REG_NONE) {
            SetRaw(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyEnable", row.dwEnableType,
                   Bytes(row.dwEnable));
        }
        if (row.dwAppletsType != REG_NONE) {
            SetRaw(HKEY_CURRENT_USER, IE_SETTINGS, "Security_RunJavaApplets", row.dwAppletsType,
                   Bytes(row.dwApplets));
        }

        CExplorerSettings settings;
        settings.ApplySettings();
        Stored enable = Query(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyEnable");
        Stored applets = Query(HKEY_CURRENT_USER, IE_SETTINGS, "Security_RunJavaApplets");
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), enable.dwType);
        EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0}), enable.data);
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), applets.dwType);
        EXPECT_EQ(Bytes(1), applets.data);
        const auto records = Records();
        ASSERT_EQ(3u, records.size());
        EXPECT_EQ(row.recordValues, (std::vector<std::string>{records[0][2], records[2][2]}));

        settings.RestoreSettings();
        enable = Query(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyEnable");
        applets = Query(HKEY_CURRENT_USER, IE_SETTINGS, "Security_RunJavaApplets");
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), enable.dwType);
        EXPECT_EQ(Bytes(row.dwEnable), enable.data);
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), applets.dwType);
        EXPECT_EQ(Bytes(row.dwApplets), applets.data);
    }
}

TEST_F(BrowserTest, ExplorerPaths) {
    SetText(HKEY_LOCAL_MACHINE,
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", "",
            "C:\\Program Files\\Plus!\\Microsoft Internet\\IEXPLORE.EXE");
    SetText(HKEY_CURRENT_USER,
            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Favorites",
            "C:\\WINDOWS\\Favorites");
    CExplorerSettings settings;
    EXPECT_EQ("C:\\Program Files\\Plus!\\Microsoft Internet\\IEXPLORE.EXE",
              settings.GetBrowserPath());
    EXPECT_EQ("C:\\WINDOWS\\Favorites", settings.GetBookmarksPath());
}

} // namespace
