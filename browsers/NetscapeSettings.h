// Configurator for Netscape Navigator: Java on, HTTP through the local proxy at port 128, and
// fixed cache and connection limits.
#pragma once

#include "browsers/BrowserSettings.h"

#include <string>
#include <vector>

class CNetscapeSettings : public CBrowserSettings {
  public:
    std::string GetBrowserPath() override;
    std::string GetBookmarksPath() override;
    void ApplySettings() override;
    void RestoreSettings() override;

    // The keyN texts of the records this configurator writes, in record order.
    static std::vector<std::string> RecordKeys();

  private:
    // The settings in the order in which every operation handles them.
    static const std::vector<SettingRow<CNetscapeSettings>>& Settings();

    // The values found by ApplySettings, written back by RestoreSettings.
    std::string m_strEnableJava;
    DWORD m_dwProxyType = 0;
    std::string m_strHttpProxy;
    DWORD m_dwHttpProxyPort = 0;
    DWORD m_dwMemoryCacheSize = 0;
    DWORD m_dwDiskCacheSize = 0;
    DWORD m_dwMaxConnections = 0;
};
