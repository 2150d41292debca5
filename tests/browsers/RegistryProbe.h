// Test helpers that set up and inspect registry values through the public registry functions,
// and a backend wrapper that records the order of writes and flushes.
#pragma once

#include "platform/registry.h"
#include "support/ForwardingRegistry.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace probe {

struct Stored {
    LONG lResult = ERROR_FILE_NOT_FOUND;
    DWORD dwType = REG_NONE;
    std::vector<BYTE> data;

    bool Exists() const { return lResult == ERROR_SUCCESS; }
    // The data as text, without the terminating NUL.
    std::string Text() const {
        std::string strText(data.begin(), data.end());
        if (!strText.empty() && strText.back() == '\0') {
            strText.pop_back();
        }
        return strText;
    }
};

inline std::vector<BYTE> Bytes(DWORD dwValue) {
    return {static_cast<BYTE>(dwValue & 0xFF), static_cast<BYTE>((dwValue >> 8) & 0xFF),
            static_cast<BYTE>((dwValue >> 16) & 0xFF), static_cast<BYTE>((dwValue >> 24) & 0xFF)};
}

inline void CreateKey(HKEY hRoot, const std::string& strPath, const char* pszClass = nullptr) {
    std::string strClass = pszClass != nullptr ? pszClass : "";
    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(hRoot, strPath.c_str(), 0, strClass.data(), REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &hKey, &dwDisposition))
        << strPath;
    RegCloseKey(hKey);
}

inline void SetRaw(HKEY hRoot, const std::string& strPath, const std::string& strName, DWORD dwType,
                   const std::vector<BYTE>& data) {
    CreateKey(hRoot, strPath);
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(hRoot, strPath.c_str(), 0, KEY_WRITE, &hKey));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(hKey, strName.c_str(), 0, dwType, data.data(),
                                            static_cast<DWORD>(data.size())));
    RegCloseKey(hKey);
}

// A text's bytes as a REG_SZ value holds them, with the NUL.
inline std::vector<BYTE> Sz(const std::string& strText) {
    std::vector<BYTE> data(strText.begin(), strText.end());
    data.push_back(0);
    return data;
}

inline void SetText(HKEY hRoot, const std::string& strPath, const std::string& strName,
                    const std::string& strText) {
    SetRaw(hRoot, strPath, strName, REG_SZ, Sz(strText));
}

inline void SetDword(HKEY hRoot, const std::string& strPath, const std::string& strName,
                     DWORD dwValue) {
    SetRaw(hRoot, strPath, strName, REG_DWORD, Bytes(dwValue));
}

inline Stored Query(HKEY hRoot, const std::string& strPath, const std::string& strName) {
    Stored stored;
    HKEY hKey = nullptr;
    stored.lResult = RegOpenKeyExA(hRoot, strPath.c_str(), 0, KEY_READ, &hKey);
    if (stored.lResult != ERROR_SUCCESS) {
        return stored;
    }
    DWORD cbData = 0;
    stored.lResult =
        RegQueryValueExA(hKey, strName.c_str(), nullptr, &stored.dwType, nullptr, &cbData);
    if (stored.lResult == ERROR_SUCCESS) {
        stored.data.resize(cbData);
        stored.lResult = RegQueryValueExA(hKey, strName.c_str(), nullptr, &stored.dwType,
                                          stored.data.data(), &cbData);
        stored.data.resize(cbData);
    }
    RegCloseKey(hKey);
    return stored;
}

inline bool KeyExists(HKEY hRoot, const std::string& strPath) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(hKey);
    return true;
}

inline std::string KeyClass(HKEY hRoot, const std::string& strPath) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return "<no key>";
    }
    char szClass[256] = {};
    DWORD cchClass = sizeof(szClass);
    const LONG lResult = RegQueryInfoKeyA(hKey, szClass, &cchClass, nullptr, nullptr);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? std::string(szClass, cchClass) : "<error>";
}

// Every value of a key as "name=type:hex bytes", in the store's order: a snapshot to compare.
inline std::vector<std::string> Snapshot(HKEY hRoot, const std::string& strPath) {
    std::vector<std::string> lines;
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return {"<no key>"};
    }
    for (DWORD dwIndex = 0;; ++dwIndex) {
        char szName[512];
        DWORD cchName = sizeof(szName);
        DWORD dwType = REG_NONE;
        std::vector<BYTE> data(1 << 16);
        DWORD cbData = static_cast<DWORD>(data.size());
        if (RegEnumValueA(hKey, dwIndex, szName, &cchName, nullptr, &dwType, data.data(),
                          &cbData) != ERROR_SUCCESS) {
            break;
        }
        std::string strLine = std::string(szName, cchName) + "=" + std::to_string(dwType) + ":";
        static const char HEX[] = "0123456789abcdef";
        for (DWORD n = 0; n < cbData; ++n) {
            strLine += HEX[data[n] >> 4];
            strLine += HEX[data[n] & 0xF];
        }
        lines.push_back(strLine);
    }
    RegCloseKey(hKey);
    return lines;
}

// Passes every call on to another backend and notes each value set and each flush, as
// "set <root>\<path>\<name>" and "flush <root>", with the path as the caller spelled it.
class RecordingRegistry : public ForwardingRegistry {
  public:
    explicit RecordingRegistry(platform::RegistryBackend* pInner) : ForwardingRegistry(pInner) {}

    std::vector<std::string> m_calls;
    // A value of this name is refused (ERROR_ACCESS_DENIED) wherever it is set; "" for none.
    std::string m_strRefusedName;

    platform::KeyId RootKey(HKEY root) override {
        const platform::KeyId id = ForwardingRegistry::RootKey(root);
        m_names[id] = {root, ""};
        return id;
    }
    LONG FindKey(platform::KeyId base, const std::string& path, REGSAM access,
                 platform::KeyId* id) override {
        const LONG lResult = ForwardingRegistry::FindKey(base, path, access, id);
        if (lResult == ERROR_SUCCESS) {
            Name(base, path, *id);
        }
        return lResult;
    }
    LONG MakeKey(platform::KeyId base, const std::string& path, const std::string& keyClass,
                 platform::KeyId* id, bool* created) override {
        const LONG lResult = ForwardingRegistry::MakeKey(base, path, keyClass, id, created);
        if (lResult == ERROR_SUCCESS) {
            Name(base, path, *id);
        }
        return lResult;
    }
    LONG PutValue(platform::KeyId key, const platform::RegistryValue& value) override {
        if (!m_strRefusedName.empty() && value.name == m_strRefusedName) {
            return ERROR_ACCESS_DENIED;
        }
        const LONG lResult = ForwardingRegistry::PutValue(key, value);
        if (lResult == ERROR_SUCCESS) {
            const KeyName& keyName = m_names[key];
            m_calls.push_back("set " + platform::RootKeyName(keyName.root) + "\\" + keyName.path +
                              "\\" + value.name);
        }
        return lResult;
    }
    LONG Flush(HKEY root) override {
        m_calls.push_back("flush " + platform::RootKeyName(root));
        return ForwardingRegistry::Flush(root);
    }
    // Sets inside a batch count once the batch is committed.
    LONG BeginBatch() override {
        const LONG lResult = ForwardingRegistry::BeginBatch();
        m_nBatchStart = lResult == ERROR_SUCCESS ? m_calls.size() : kNoBatch;
        return lResult;
    }
    LONG CommitBatch() override {
        const LONG lResult = ForwardingRegistry::CommitBatch();
        if (lResult != ERROR_SUCCESS) {
            RollbackBatch();
        }
        m_nBatchStart = kNoBatch;
        return lResult;
    }
    void RollbackBatch() override {
        ForwardingRegistry::RollbackBatch();
        if (m_nBatchStart != kNoBatch) {
            m_calls.resize(m_nBatchStart);
        }
        m_nBatchStart = kNoBatch;
    }

  private:
    struct KeyName {
        HKEY root = nullptr;
        std::string path;
    };
    void Name(platform::KeyId base, const std::string& path, platform::KeyId id) {
        KeyName name = m_names[base];
        if (!path.empty()) {
            name.path = name.path.empty() ? path : name.path + "\\" + path;
        }
        m_names[id] = name;
    }

    static constexpr size_t kNoBatch = ~size_t{0};
    std::map<platform::KeyId, KeyName> m_names;
    size_t m_nBatchStart = kNoBatch;
};

} // namespace probe
