// Configurator for Netscape Navigator: Java on, HTTP through the local proxy at port 128, and
// fixed cache and connection limits.
#pragma once

#include "browsers/SettingTable.h"

#include <string>
#include <vector>

class CNetscapeSettings : public CTableSettings<CNetscapeSettings> {
  public:
    std::string GetBrowserPath() override;
    std::string GetBookmarksPath() override;

  private:
    friend class CTableSettings<CNetscapeSettings>;

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
