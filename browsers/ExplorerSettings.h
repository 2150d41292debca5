// Configurator for Internet Explorer: proxy on, HTTP through the local proxy at port 128 (the
// user's entries for other protocols stay), Java applets allowed.
#pragma once

#include "browsers/SettingTable.h"

#include <string>
#include <vector>

class CExplorerSettings : public CTableSettings<CExplorerSettings> {
  public:
    // The HTTP entry that ApplySettings puts first in the proxy list.
    static constexpr const char* PROXY_ENTRY = "http=http://localhost:128";

    std::string GetBrowserPath() override;
    std::string GetBookmarksPath() override;

    // The proxy list with our HTTP entry first, the user's first HTTP entry dropped and every
    // other entry kept in its order.
    static std::string MergeProxyServer(const std::string& strOld);

  private:
    friend class CTableSettings<CExplorerSettings>;

    // The settings in the order in which every operation handles them.
    static const std::vector<SettingRow<CExplorerSettings>>& Settings();

    // The values found by ApplySettings, written back by RestoreSettings.
    DWORD m_dwProxyEnable = 0;
    std::string m_strProxyServer;
    DWORD m_dwJavaApplets = 0;
};
