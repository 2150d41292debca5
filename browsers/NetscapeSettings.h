// Configurator for Netscape Navigator: Java on, HTTP through the local proxy at port 128, and
// fixed cache and connection limits.
#pragma once

#include "browsers/BrowserSettings.h"

#include <string>

class CNetscapeSettings : public CBrowserSettings {
  public:
    std::string GetBrowserPath() override;
    std::string GetBookmarksPath() override;
    void ApplySettings() override;
    void RestoreSettings() override;

  private:
    // The values found by ApplySettings, written back by RestoreSettings.
    std::string m_strEnableJava;
    DWORD m_dwProxyType = 0;
    std::string m_strHttpProxy;
    DWORD m_dwHttpProxyPort = 0;
    DWORD m_dwMemoryCacheSize = 0;
    DWORD m_dwDiskCacheSize = 0;
    DWORD m_dwMaxConnections = 0;
};
