// A registry backend that passes every call on to another one. Tests derive from it to watch or
// change single calls; on its own it can stand for a system without registry transactions.
#pragma once

#include "platform/registry.h"

#include <string>
#include <vector>

class ForwardingRegistry : public platform::RegistryBackend {
  public:
    explicit ForwardingRegistry(platform::RegistryBackend* pInner) : m_pInner(pInner) {}

    // When set, batches are refused with ERROR_CALL_NOT_IMPLEMENTED, and with them every
    // transacted write: the registry of a system that has no transactions.
    bool m_bNoTransactions = false;

    platform::KeyId RootKey(HKEY root) override { return m_pInner->RootKey(root); }
    LONG FindKey(platform::KeyId base, const std::string& path, REGSAM access,
                 platform::KeyId* id) override {
        return m_pInner->FindKey(base, path, access, id);
    }
    LONG MakeKey(platform::KeyId base, const std::string& path, const std::string& keyClass,
                 platform::KeyId* id, bool* created) override {
        return m_pInner->MakeKey(base, path, keyClass, id, created);
    }
    LONG GetValue(platform::KeyId key, const std::string& name,
                  platform::RegistryValue* value) override {
        return m_pInner->GetValue(key, name, value);
    }
    LONG PutValue(platform::KeyId key, const platform::RegistryValue& value) override {
        return m_pInner->PutValue(key, value);
    }
    LONG RemoveValue(platform::KeyId key, const std::string& name) override {
        return m_pInner->RemoveValue(key, name);
    }
    LONG RemoveKey(platform::KeyId base, const std::string& path) override {
        return m_pInner->RemoveKey(base, path);
    }
    LONG ListKeys(platform::KeyId key, std::vector<std::string>* names) override {
        return m_pInner->ListKeys(key, names);
    }
    LONG ListValues(platform::KeyId key, std::vector<platform::RegistryValue>* values) override {
        return m_pInner->ListValues(key, values);
    }
    LONG GetKeyClass(platform::KeyId key, std::string* keyClass) override {
        return m_pInner->GetKeyClass(key, keyClass);
    }
    LONG Flush(HKEY root) override { return m_pInner->Flush(root); }
    LONG BeginBatch() override {
        return m_bNoTransactions ? ERROR_CALL_NOT_IMPLEMENTED : m_pInner->BeginBatch();
    }
    LONG CommitBatch() override { return m_pInner->CommitBatch(); }
    void RollbackBatch() override { m_pInner->RollbackBatch(); }
    void KeyClosed() override { m_pInner->KeyClosed(); }

  private:
    platform::RegistryBackend* m_pInner;
};
