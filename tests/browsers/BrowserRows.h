// The two configurators as the record tables see them: how each is made, the browser it
// finds installed, and the restore records a first run writes. Shared by the tests over the
// test stores and by those over the real registry of the Windows build.
#pragma once

#include "BrowserFixture.h"

#include "browsers/ExplorerSettings.h"
#include "browsers/NetscapeSettings.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace probe {

struct Browser {
    const char* pszName;
    std::function<std::unique_ptr<CBrowserSettings>()> create;
    std::function<void()> install;
    // The key that holds the settings that are changed (all of them, for Internet Explorer).
    std::string strSettingsKey;
    // The records a first run writes for the installed browser.
    std::vector<std::vector<std::string>> records;
};

// The records written when the browser is not installed at all: the same settings, each with
// the empty value of its type ("" for text, 0 for a number).
inline std::vector<std::vector<std::string>> EmptyRecords(const Browser& browser) {
    std::vector<std::vector<std::string>> empty = browser.records;
    for (std::vector<std::string>& record : empty)
        record[2] = record[1] == "int" ? "0" : "";
    return empty;
}

inline const std::string NAV_RECORD = "HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\";
inline const std::string IE_RECORD =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\";

inline const Browser NAVIGATOR_BROWSER = {
    "Navigator",
    [] { return std::make_unique<CNetscapeSettings>(); },
    InstallNavigator,
    NAV_PROXY,
    {
        {NAV_RECORD + "Java\\Enable Java", "str", "no"},
        {NAV_RECORD + "Proxy Information\\Proxy Type", "int", "3"},
        {NAV_RECORD + "Proxy Information\\HTTP_Proxy", "str", "proxy.example.net"},
        {NAV_RECORD + "Proxy Information\\HTTP_ProxyPort", "int", "8080"},
        {NAV_RECORD + "Cache\\Memory Cache Size", "int", "1024"},
        {NAV_RECORD + "Cache\\Disk Cache Size", "int", "7680"},
        {NAV_RECORD + "Network\\Max Connections", "int", "4"},
    },
};

inline const Browser EXPLORER_BROWSER = {
    "Explorer",
    [] { return std::make_unique<CExplorerSettings>(); },
    InstallExplorer,
    IE_SETTINGS,
    {
        {IE_RECORD + "ProxyEnable", "int", "0"},
        {IE_RECORD + "ProxyServer", "str", "ftp=b:21"},
        {IE_RECORD + "Security_RunJavaApplets", "int", "3"},
    },
};

inline void PrintTo(const Browser& browser, std::ostream* pOut) {
    *pOut << browser.pszName;
}

} // namespace probe
