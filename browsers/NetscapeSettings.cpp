#include "browsers/NetscapeSettings.h"

#include "settings/Registry.h"

#include <string>
#include <vector>

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

} // namespace

std::string CNetscapeSettings::GetBrowserPath() {
    return ReadRegString(HKEY_CLASSES_ROOT, "NetscapeMarkup\\protocol\\StdFileEditing\\server", "");
}

std::string CNetscapeSettings::GetBookmarksPath() {
    return ReadRegString(HKEY_CURRENT_USER, "Software\\Netscape\\Netscape Navigator\\Bookmark List",
                         "File Location");
}

const std::vector<SettingRow<CNetscapeSettings>>& CNetscapeSettings::Settings() {
    using T = CNetscapeSettings;
    static const std::vector<SettingRow<T>> table = {
        TextSetting<T>(JAVA_KEY, ENABLE_JAVA, &T::m_strEnableJava, "yes"),
        NumberSetting<T>(PROXY_KEY, PROXY_TYPE, SettingType::Dword, &T::m_dwProxyType, 1),
        TextSetting<T>(PROXY_KEY, HTTP_PROXY, &T::m_strHttpProxy, "http://localhost"),
        NumberSetting<T>(PROXY_KEY, HTTP_PROXY_PORT, SettingType::Dword, &T::m_dwHttpProxyPort,
                         128),
        NumberSetting<T>(CACHE_KEY, MEMORY_CACHE_SIZE, SettingType::Dword, &T::m_dwMemoryCacheSize,
                         256),
        NumberSetting<T>(CACHE_KEY, DISK_CACHE_SIZE, SettingType::Dword, &T::m_dwDiskCacheSize, 0),
        NumberSetting<T>(NETWORK_KEY, MAX_CONNECTIONS, SettingType::Dword, &T::m_dwMaxConnections,
                         12),
    };
    return table;
}
