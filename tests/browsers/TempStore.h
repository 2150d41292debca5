// A registry store file in a fresh temporary folder, opened with the real SQLite backend and
// installed behind the registry functions; the folder is removed afterwards.
#pragma once

#include "platform/registry.h"
#include "platform/registry_sqlite.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace probe {

class TempStore {
  public:
    TempStore() : m_dir("browsers"), m_strPath(m_dir.File("registry.db")) {}
    ~TempStore() { Close(); }
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::filesystem::path Dir() const { return m_dir.Path(); }

    // Opens (making it when missing) and installs the store.
    void Open() {
        Close();
        ASSERT_TRUE(m_dir.Ok()) << "no temporary folder";
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
    TempDir m_dir;
    std::string m_strPath;
    std::unique_ptr<platform::SqliteRegistry> m_pStore;
};

} // namespace probe
