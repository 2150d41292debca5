#include "browsers/ExplorerSettings.h"

#include "settings/Registry.h"

#include <string>
#include <vector>

namespace {

constexpr const char* INTERNET_SETTINGS_KEY =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* PROXY_ENABLE = "ProxyEnable";
constexpr const char* PROXY_SERVER = "ProxyServer";
constexpr const char* RUN_JAVA_APPLETS = "Security_RunJavaApplets";

std::vector<std::string> SplitEntries(const std::string& strList) {
    std::vector<std::string> entries;
    std::string::size_type nStart = 0;
    for (;;) {
        const std::string::size_type nEnd = strList.find(';', nStart);
        if (nEnd == std::string::npos) {
            entries.push_back(strList.substr(nStart));
            return entries;
        }
        entries.push_back(strList.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
}

// An entry for the HTTP protocol; the protocol name is case-sensitive, as the browser reads it.
// Blanks after a separator do not hide an entry.
bool IsHttpEntry(const std::string& strEntry) {
    const std::string::size_type nFirst = strEntry.find_first_not_of(" \t");
    return nFirst != std::string::npos && strEntry.compare(nFirst, 5, "http=") == 0;
}

} // namespace

std::string CExplorerSettings::GetBrowserPath() {
    return ReadRegString(HKEY_LOCAL_MACHINE,
                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE",
                         "");
}

std::string CExplorerSettings::GetBookmarksPath() {
    return ReadRegString(HKEY_CURRENT_USER,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         "Favorites");
}

std::string CExplorerSettings::MergeProxyServer(const std::string& strOld) {
    std::string strNew = PROXY_ENTRY;
    if (strOld.empty()) {
        return strNew;
    }
    // Only a whole entry is replaced: an "http=" inside another entry must not cut that entry
    // (or the character in front of it) out of the list.
    bool bDropped = false;
    for (const std::string& strEntry : SplitEntries(strOld)) {
        if (!bDropped && IsHttpEntry(strEntry)) {
            bDropped = true;
            continue;
        }
        strNew += ';';
        strNew += strEntry;
    }
    return strNew;
}

const std::vector<SettingRow<CExplorerSettings>>& CExplorerSettings::Settings() {
    using T = CExplorerSettings;
    static const std::vector<SettingRow<T>> table = {
        NumberSetting<T>(INTERNET_SETTINGS_KEY, PROXY_ENABLE, SettingType::Binary,
                         &T::m_dwProxyEnable, 1),
        TextSetting<T>(INTERNET_SETTINGS_KEY, PROXY_SERVER, &T::m_strProxyServer,
                       &T::MergeProxyServer),
        NumberSetting<T>(INTERNET_SETTINGS_KEY, RUN_JAVA_APPLETS, SettingType::Dword,
                         &T::m_dwJavaApplets, 1),
    };
    return table;
}
