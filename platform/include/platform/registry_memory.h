// A registry kept in memory: the test backend of the registry service. It behaves as the store
// on disk does (names case-insensitive and case-preserving, typed values, key classes) and can
// be told to refuse an open or a set of one key, as a store without the rights would.
#pragma once

#include "platform/registry.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class MemoryRegistry : public RegistryBackend {
  public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    KeyId RootKey(HKEY root) override;
    LONG FindKey(KeyId base, const std::string& path, REGSAM access, KeyId* id) override;
    LONG MakeKey(KeyId base, const std::string& path, const std::string& keyClass, KeyId* id,
                 bool* created) override;
    LONG GetValue(KeyId key, const std::string& name, RegistryValue* value) override;
    LONG PutValue(KeyId key, const RegistryValue& value) override;
    LONG RemoveValue(KeyId key, const std::string& name) override;
    LONG RemoveKey(KeyId base, const std::string& path) override;
    LONG ListKeys(KeyId key, std::vector<std::string>* names) override;
    LONG ListValues(KeyId key, std::vector<RegistryValue>* values) override;
    LONG GetKeyClass(KeyId key, std::string* keyClass) override;
    LONG Flush(HKEY root) override;
    LONG BeginBatch() override;
    LONG CommitBatch() override;
    void RollbackBatch() override;

    // Opens of the key (not of its subkeys) that ask for any right of `access` fail with `code`;
    // so does creating the key. KEY_SET_VALUE | KEY_CREATE_SUB_KEY refuses writing only.
    void RefuseOpen(HKEY root, const std::string& path, LONG code, REGSAM access = ~REGSAM{0});
    // Setting any value of the key fails with `code`.
    void RefuseSet(HKEY root, const std::string& path, LONG code);
    void ClearRefusals();
    // Number of successful Flush calls, for tests that expect a flush.
    int FlushCount() const { return m_nFlushes; }

  private:
    struct Key {
        KeyId id = 0;
        int root = 0;
        std::string name;
        std::string foldedPath; // from the root
        std::string keyClass;
        Key* parent = nullptr;
        // Keyed by the folded name.
        std::map<std::string, std::unique_ptr<Key>> subkeys;
        // In the order they were created.
        std::vector<RegistryValue> values;
    };
    struct Refusal {
        int root;
        std::string foldedPath;
        LONG code;
        REGSAM access;
        bool onSet;
    };

    Key* Lookup(KeyId id);
    // The key of `base` and the names of `path` below it; ERROR_KEY_DELETED or
    // ERROR_BAD_PATHNAME when there is no such key or path.
    LONG Below(KeyId base, const std::string& path, Key** key, std::vector<std::string>* names);
    Key* Walk(Key* base, const std::vector<std::string>& names);
    const Refusal* FindRefusal(const Key& key, const std::string& foldedPath, bool onSet,
                               REGSAM access) const;
    std::unique_ptr<Key> Copy(const Key& key, Key* parent);
    void Index(Key* key);

    std::unique_ptr<Key> m_roots[3];
    // The roots as they were when the batch began.
    std::unique_ptr<Key> m_batch[3];
    std::map<KeyId, Key*> m_byId;
    KeyId m_nextId = 1;
    std::vector<Refusal> m_refusals;
    int m_nFlushes = 0;
};

} // namespace platform
