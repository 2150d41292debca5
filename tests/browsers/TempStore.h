// A registry store file in a fresh temporary folder, opened with the real SQLite backend and
// installed behind the registry functions; the folder is removed afterwards.
#pragma once

#include "platform/registry.h"
#include "platform/registry_sqlite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <stdlib.h>

namespace probe {

class TempStore {
  public:
    TempStore() {
        std::string strTemplate =
            (std::filesystem::temp_directory_path() / "skyvane-browsers-XXXXXX").string();
        if (mkdtemp(strTemplate.data()) != nullptr) {
            m_dir = strTemplate;
        }
        m_strPath = (m_dir / "registry.db").string();
    }
    ~TempStore() {
        Close();
        std::error_code ec;
        if (!m_dir.empty()) {
            std::filesystem::remove_all(m_dir, ec);
        }
    }
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::filesystem::path Dir() const { return m_dir; }

    // Opens (making it when missing) and installs the store.
    void Open() {
        Close();
        ASSERT_FALSE(m_dir.empty()) << "no temporary folder";
        std::string strError;
        m_pStore = platform::SqliteRegistry::Open(m_strPath, &strError);
        ASSERT_TRUE(m_pStore) << strError;
        platform::InstallRegistry(m_pStore.get());
    }
    // Uninstalls and closes the store, so that another opener sees only what is on disk.
    void Close() {
        if (m_pStore) {
            platform::InstallRegistry(nullptr);
            m_pStore.reset();
        }
    }

  private:
    std::filesystem::path m_dir;
    std::string m_strPath;
    std::unique_ptr<platform::SqliteRegistry> m_pStore;
};

} // namespace probe
