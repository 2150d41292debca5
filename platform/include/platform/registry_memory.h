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

    LONG OpenKey(HKEY root, const std::string& path, REGSAM access) override;
    LONG CreateKey(HKEY root, const std::string& path, const std::string& keyClass,
                   bool* created) override;
    LONG QueryValue(HKEY root, const std::string& path, const std::string& name,
                    RegistryValue* value) override;
    LONG SetValue(HKEY root, const std::string& path, const RegistryValue& value) override;
    LONG DeleteValue(HKEY root, const std::string& path, const std::string& name) override;
    LONG DeleteKey(HKEY root, const std::string& path) override;
    LONG EnumKeys(HKEY root, const std::string& path, std::vector<std::string>* names) override;
    LONG EnumValues(HKEY root, const std::string& path,
                    std::vector<RegistryValue>* values) override;
    LONG QueryKeyClass(HKEY root, const std::string& path, std::string* keyClass) override;
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
        std::string name;
        std::string keyClass;
        // Both maps are keyed by the folded name.
        std::map<std::string, std::unique_ptr<Key>> subkeys;
        std::map<std::string, RegistryValue> values;
    };
    struct Refusal {
        int root;
        std::string foldedPath;
        LONG code;
        REGSAM access;
        bool onSet;
    };

    Key* Find(HKEY root, const std::string& path);
    const Refusal* FindRefusal(HKEY root, const std::string& path, bool onSet, REGSAM access) const;

    static std::unique_ptr<Key> Copy(const Key& key);

    Key m_roots[3];
    // The roots as they were when the batch began.
    std::unique_ptr<Key> m_batch[3];
    std::vector<Refusal> m_refusals;
    int m_nFlushes = 0;
};

} // namespace platform
