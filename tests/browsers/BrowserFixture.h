// A fresh in-memory registry per test, seen through a recorder of writes and flushes, and the
// browsers' locations as the tests spell them out.
#pragma once

#include "RegistryProbe.h"

#include "platform/registry.h"
#include "platform/registry_memory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace probe {

inline const std::string RESTORE = "SOFTWARE\\Ostrel Technologies\\Skyvane\\Restore";
inline const std::string NAVIGATOR = "Software\\Netscape\\Netscape Navigator";
inline const std::string NAV_JAVA = NAVIGATOR + "\\Java";
inline const std::string NAV_PROXY = NAVIGATOR + "\\Proxy Information";
inline const std::string NAV_CACHE = NAVIGATOR + "\\Cache";
inline const std::string NAV_NETWORK = NAVIGATOR + "\\Network";
inline const std::string IE_SETTINGS =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Navigator with all seven settings present.
inline void InstallNavigator() {
    SetText(HKEY_CURRENT_USER, NAV_JAVA, "Enable Java", "no");
    SetDword(HKEY_CURRENT_USER, NAV_PROXY, "Proxy Type", 3);
    SetText(HKEY_CURRENT_USER, NAV_PROXY, "HTTP_Proxy", "proxy.example.net");
    SetDword(HKEY_CURRENT_USER, NAV_PROXY, "HTTP_ProxyPort", 8080);
    SetDword(HKEY_CURRENT_USER, NAV_CACHE, "Memory Cache Size", 1024);
    SetDword(HKEY_CURRENT_USER, NAV_CACHE, "Disk Cache Size", 7680);
    SetDword(HKEY_CURRENT_USER, NAV_NETWORK, "Max Connections", 4);
}

// Internet Explorer with its three settings present.
inline void InstallExplorer() {
    SetRaw(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyEnable", REG_BINARY, Bytes(0));
    SetText(HKEY_CURRENT_USER, IE_SETTINGS, "ProxyServer", "ftp=b:21");
    SetDword(HKEY_CURRENT_USER, IE_SETTINGS, "Security_RunJavaApplets", 3);
}

// The restore records as stored: {keyN, typeN, valueN} for N = 1 until keyN is missing.
inline std::vector<std::vector<std::string>> Records() {
    std::vector<std::vector<std::string>> records;
    for (int n = 1;; ++n) {
        const std::string strN = std::to_string(n);
        const Stored key = Query(HKEY_LOCAL_MACHINE, RESTORE, "key" + strN);
        if (!key.Exists()) {
            return records;
        }
        records.push_back({key.Text(), Query(HKEY_LOCAL_MACHINE, RESTORE, "type" + strN).Text(),
                           Query(HKEY_LOCAL_MACHINE, RESTORE, "value" + strN).Text()});
    }
}

class BrowserTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetRegistry(); }
    void TearDown() override { platform::InstallRegistry(nullptr); }

    // Starts over with an empty registry.
    void ResetRegistry() {
        auto pStore = std::make_unique<Store>();
        platform::InstallRegistry(&pStore->recorder);
        m_pStore = std::move(pStore);
    }

    std::vector<std::string>& Calls() { return m_pStore->recorder.m_calls; }
    RecordingRegistry& Recorder() { return m_pStore->recorder; }

    // The recorded calls that start with a prefix ("set HKEY_LOCAL_MACHINE\...", "flush").
    std::vector<std::string> CallsStartingWith(const std::string& strPrefix) const {
        std::vector<std::string> calls;
        for (const std::string& strCall : m_pStore->recorder.m_calls) {
            if (strCall.rfind(strPrefix, 0) == 0) {
                calls.push_back(strCall);
            }
        }
        return calls;
    }

  private:
    struct Store {
        platform::MemoryRegistry memory;
        RecordingRegistry recorder{&memory};
    };
    std::unique_ptr<Store> m_pStore;
};

} // namespace probe
