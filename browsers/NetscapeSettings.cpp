#include "browsers/NetscapeSettings.h"

#include "settings/Registry.h"

#include <string>

namespace {

constexpr const char* JAVA_KEY = "Software\\Netscape\\Netscape Navigator\\Java";
constexpr const char* PROXY_KEY = "Software\\Netscape\\Netscape Navigator\\Proxy Information";
constexpr const char* CACHE_KEY = "Software\\Netscape\\Netscape Navigator\\Cache";
constexpr const char* NETWORK_KEY = "Software\\Netscape\\Netscape Navigator\\Network";

constexpr const char* ENABLE_JAVA = "Enable Java";
constexpr const char* PROXY_TYPE = "Proxy Type";
constexpr const char* HTTP_PROXY = "HTTP_Proxy";
constexpr const char* HTTP_PROXY_PORT = "HTTP_ProxyPort";
constexpr const char* MEMORY_CACHE_SIZE = "Memory Cache Size";
constexpr const char* DISK_CACHE_SIZE = "Disk Cache Size";
constexpr const char* MAX_CONNECTIONS = "Max Connections";

// The location text of a restore record.
std::string RecordKey(const char* pszSubKey, const char* pszValueName) {
    return std::string("HKEY_CURRENT_USER\\") + pszSubKey + "\\" + pszValueName;
}

} // namespace

std::string CNetscapeSettings::GetBrowserPath() {
    return ReadRegString(HKEY_CLASSES_ROOT, "NetscapeMarkup\\protocol\\StdFileEditing\\server", "");
}

std::string CNetscapeSettings::GetBookmarksPath() {
    return ReadRegString(HKEY_CURRENT_USER, "Software\\Netscape\\Netscape Navigator\\Bookmark List",
                         "File Location");
}

void CNetscapeSettings::ApplySettings() {
    m_strEnableJava = ReadRegStringWhole(HKEY_CURRENT_USER, JAVA_KEY, ENABLE_JAVA);
    m_dwProxyType = ReadRegDword(HKEY_CURRENT_USER, PROXY_KEY, PROXY_TYPE);
    m_strHttpProxy = ReadRegStringWhole(HKEY_CURRENT_USER, PROXY_KEY, HTTP_PROXY);
    m_dwHttpProxyPort = ReadRegDword(HKEY_CURRENT_USER, PROXY_KEY, HTTP_PROXY_PORT);
    m_dwMemoryCacheSize = ReadRegDword(HKEY_CURRENT_USER, CACHE_KEY, MEMORY_CACHE_SIZE);
    m_dwDiskCacheSize = ReadRegDword(HKEY_CURRENT_USER, CACHE_KEY, DISK_CACHE_SIZE);
    m_dwMaxConnections = ReadRegDword(HKEY_CURRENT_USER, NETWORK_KEY, MAX_CONNECTIONS);

    if (IsRestoreKeyEmpty()) {
        CreateRestoreKey();
        WriteRestoreRecord(1, RecordKey(JAVA_KEY, ENABLE_JAVA), "str", m_strEnableJava);
        WriteRestoreRecord(2, RecordKey(PROXY_KEY, PROXY_TYPE), "int",
                           FormatRecordNumber(m_dwProxyType));
        WriteRestoreRecord(3, RecordKey(PROXY_KEY, HTTP_PROXY), "str", m_strHttpProxy);
        WriteRestoreRecord(4, RecordKey(PROXY_KEY, HTTP_PROXY_PORT), "int",
                           FormatRecordNumber(m_dwHttpProxyPort));
        WriteRestoreRecord(5, RecordKey(CACHE_KEY, MEMORY_CACHE_SIZE), "int",
                           FormatRecordNumber(m_dwMemoryCacheSize));
        WriteRestoreRecord(6, RecordKey(CACHE_KEY, DISK_CACHE_SIZE), "int",
                           FormatRecordNumber(m_dwDiskCacheSize));
        WriteRestoreRecord(7, RecordKey(NETWORK_KEY, MAX_CONNECTIONS), "int",
                           FormatRecordNumber(m_dwMaxConnections));
        FlushRestoreKey();
    }

    WriteRegString(HKEY_CURRENT_USER, JAVA_KEY, ENABLE_JAVA, "yes");
    WriteRegDword(HKEY_CURRENT_USER, PROXY_KEY, PROXY_TYPE, 1);
    WriteRegString(HKEY_CURRENT_USER, PROXY_KEY, HTTP_PROXY, "http://localhost");
    WriteRegDword(HKEY_CURRENT_USER, PROXY_KEY, HTTP_PROXY_PORT, 128);
    WriteRegDword(HKEY_CURRENT_USER, CACHE_KEY, MEMORY_CACHE_SIZE, 256);
    WriteRegDword(HKEY_CURRENT_USER, CACHE_KEY, DISK_CACHE_SIZE, 0);
    WriteRegDword(HKEY_CURRENT_USER, NETWORK_KEY, MAX_CONNECTIONS, 12);

    RegFlushKey(HKEY_CURRENT_USER);
}

void CNetscapeSettings::RestoreSettings() {
    WriteRegString(HKEY_CURRENT_USER, JAVA_KEY, ENABLE_JAVA, m_strEnableJava);
    WriteRegDword(HKEY_CURRENT_USER, PROXY_KEY, PROXY_TYPE, m_dwProxyType);
    WriteRegString(HKEY_CURRENT_USER, PROXY_KEY, HTTP_PROXY, m_strHttpProxy);
    WriteRegDword(HKEY_CURRENT_USER, PROXY_KEY, HTTP_PROXY_PORT, m_dwHttpProxyPort);
    WriteRegDword(HKEY_CURRENT_USER, CACHE_KEY, MEMORY_CACHE_SIZE, m_dwMemoryCacheSize);
    WriteRegDword(HKEY_CURRENT_USER, CACHE_KEY, DISK_CACHE_SIZE, m_dwDiskCacheSize);
    WriteRegDword(HKEY_CURRENT_USER, NETWORK_KEY, MAX_CONNECTIONS, m_dwMaxConnections);
}
