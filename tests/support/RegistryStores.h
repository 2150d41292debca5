// The registry stores that the registry tables run on, and the fixture that gives each case a
// fresh one. On Linux: the memory store and an SQLite store in a fresh folder, installed behind
// the registry functions. In the Windows build: the real registry, each root a scratch key.
#pragma once

#include "platform/registry.h"
#ifndef _WIN32
#include "platform/registry_memory.h"
#include "platform/registry_sqlite.h"
#include "support/TempDir.h"
#endif

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace registry_stores {

#ifndef _WIN32
// A fresh store has the three roots to itself.
struct PredefinedRoots {
    HKEY Root(HKEY root) { return root; }
    static constexpr bool kReal = false;
};

struct MemoryStore : PredefinedRoots {
    std::unique_ptr<platform::RegistryBackend> Make() {
        return std::make_unique<platform::MemoryRegistry>();
    }
    // Another process's view of the same store; memory has none.
    std::unique_ptr<platform::RegistryBackend> Peer() { return nullptr; }
};

struct SqliteStore : PredefinedRoots {
    TempDir dir;
    std::unique_ptr<platform::RegistryBackend> Make() {
        std::string error;
        auto store = platform::SqliteRegistry::Open(dir.File("registry.db"), &error);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }
    std::unique_ptr<platform::RegistryBackend> Peer() { return Make(); }
};

using Stores = ::testing::Types<MemoryStore, SqliteStore>;
class StoreNames {
  public:
    template <class T> static std::string GetName(int) {
        return std::is_same_v<T, MemoryStore> ? "Memory" : "Sqlite";
    }
};
#else
// The real registry is shared: each root of the tables is a fresh scratch key below
// HKEY_CURRENT_USER\Software\SkyvaneTests, removed with everything in it afterwards.
struct RealRegistry {
    static constexpr bool kReal = true;
    static constexpr const char* kScratch = "Software\\SkyvaneTests";

    std::unique_ptr<platform::RegistryBackend> Make() {
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        const std::pair<HKEY, const char*> roots[] = {
            {HKEY_CLASSES_ROOT, "HKCR"}, {HKEY_CURRENT_USER, "HKCU"}, {HKEY_LOCAL_MACHINE, "HKLM"}};
        for (auto [root, name] : roots) {
            std::string path = std::string(kScratch) + "\\" + name;
            HKEY key = nullptr;
            EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            m_roots.push_back({root, key});
        }
        return nullptr;
    }
    HKEY Root(HKEY root) {
        for (auto [predefined, scratch] : m_roots) {
            if (predefined == root) {
                return scratch;
            }
        }
        return root;
    }
    ~RealRegistry() {
        for (auto [predefined, scratch] : m_roots) {
            RegCloseKey(scratch);
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    }

    std::vector<std::pair<HKEY, HKEY>> m_roots;
};

using Stores = ::testing::Types<RealRegistry>;
class StoreNames {
  public:
    template <class T> static std::string GetName(int) { return "Windows"; }
};
#endif

// A fresh store for each case; on Linux it is installed behind the registry functions.
template <class Store> class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_backend = m_store.Make();
        if (!Store::kReal) {
            ASSERT_NE(m_backend, nullptr);
            platform::InstallRegistry(m_backend.get());
        }
    }
    void TearDown() override {
        if (!Store::kReal) {
            platform::InstallRegistry(nullptr);
        }
    }

    // Where the tables' root keys are in this store.
    HKEY Root(HKEY root) { return m_store.Root(root); }

    Store m_store;
    std::unique_ptr<platform::RegistryBackend> m_backend;
};

} // namespace registry_stores
