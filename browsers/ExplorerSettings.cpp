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

std::string RecordKey(const char* pszValueName) {
    return std::string("HKEY_CURRENT_USER\\") + INTERNET_SETTINGS_KEY + "\\" + pszValueName;
}

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

void CExplorerSettings::ApplySettings() {
    m_dwProxyEnable = ReadRegDword(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, PROXY_ENABLE);
    m_strProxyServer = ReadRegStringWhole(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, PROXY_SERVER);
    m_dwJavaApplets = ReadRegDword(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, RUN_JAVA_APPLETS);

    if (IsRestoreKeyEmpty()) {
        CreateRestoreKey();
        WriteRestoreRecord(1, RecordKey(PROXY_ENABLE), "int", FormatRecordNumber(m_dwProxyEnable));
        WriteRestoreRecord(2, RecordKey(PROXY_SERVER), "str", m_strProxyServer);
        WriteRestoreRecord(3, RecordKey(RUN_JAVA_APPLETS), "int",
                           FormatRecordNumber(m_dwJavaApplets));
        FlushRestoreKey();
    }

    const std::string strMerged = MergeProxyServer(m_strProxyServer);

    WriteRegBinary(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, PROXY_ENABLE, 1);
    WriteRegString(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, PROXY_SERVER, strMerged);
    WriteRegDword(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, RUN_JAVA_APPLETS, 1);

    RegFlushKey(HKEY_CURRENT_USER);
}

void CExplorerSettings::RestoreSettings() {
    WriteRegBinary(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, PROXY_ENABLE, m_dwProxyEnable);
    WriteRegString(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, PROXY_SERVER, m_strProxyServer);
    WriteRegDword(HKEY_CURRENT_USER, INTERNET_SETTINGS_KEY, RUN_JAVA_APPLETS, m_dwJavaApplets);
}
