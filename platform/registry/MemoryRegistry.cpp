#include "platform/registry_memory.h"

#include "KeyPath.h"

#include <algorithm>

namespace platform {

MemoryRegistry::MemoryRegistry() {
    for (int i = 0; i < 3; ++i) {
        m_roots[i] = std::make_unique<Key>();
        m_roots[i]->id = m_nextId++;
        m_roots[i]->root = i;
        m_byId[m_roots[i]->id] = m_roots[i].get();
    }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Key* MemoryRegistry::Lookup(KeyId id) {
    auto it = m_byId.find(id);
    return it != m_byId.end() ? it->second : nullptr;
}

MemoryRegistry::Key* MemoryRegistry::Walk(Key* key, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        auto it = key->subkeys.find(keypath::Fold(name));
        if (it == key->subkeys.end()) {
            return nullptr;
        }
        key = it->second.get();
    }
    return key;
}

const MemoryRegistry::Refusal* MemoryRegistry::FindRefusal(const Key& key,
                                                           const std::string& foldedPath,
                                                           bool onSet, REGSAM access) const {
    for (const Refusal& r : m_refusals) {
        if (r.onSet == onSet && r.root == key.root && r.foldedPath == foldedPath &&
            (onSet || (r.access & access) != 0)) {
            return &r;
        }
    }
    return nullptr;
}

KeyId MemoryRegistry::RootKey(HKEY root) {
    int index = keypath::RootIndex(root);
    return index >= 0 ? m_roots[index]->id : 0;
}

LONG MemoryRegistry::Below(KeyId base, const std::string& path, Key** key,
                           std::vector<std::string>* names) {
    *key = Lookup(base);
    if (*key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    return keypath::Split(path, names) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

LONG MemoryRegistry::FindKey(KeyId base, const std::string& path, REGSAM access, KeyId* id) {
    Key* from = nullptr;
    std::vector<std::string> names;
    if (LONG rc = Below(base, path, &from, &names); rc != ERROR_SUCCESS) {
        return rc;
    }
    Key* key = Walk(from, names);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (const Refusal* refusal = FindRefusal(*key, key->foldedPath, false, access)) {
        return refusal->code;
    }
    *id = key->id;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::MakeKey(KeyId base, const std::string& path, const std::string& keyClass,
                             KeyId* id, bool* created) {
    Key* key = nullptr;
    std::vector<std::string> names;
    if (LONG rc = Below(base, path, &key, &names); rc != ERROR_SUCCESS) {
        return rc;
    }
    std::string folded = key->foldedPath;
    for (const std::string& name : names) {
        folded = keypath::Join(folded, keypath::Fold(name));
    }
    if (const Refusal* refusal = FindRefusal(*key, folded, false, ~REGSAM{0})) {
        return refusal->code;
    }
    bool isNew = false;
    for (const std::string& name : names) {
        std::unique_ptr<Key>& child = key->subkeys[keypath::Fold(name)];
        if (!child) {
            child = std::make_unique<Key>();
            child->id = m_nextId++;
            child->root = key->root;
            child->name = name;
            child->foldedPath = keypath::Join(key->foldedPath, keypath::Fold(name));
            child->parent = key;
            m_byId[child->id] = child.get();
            isNew = true;
        }
        key = child.get();
    }
    if (isNew) {
        key->keyClass = keyClass;
    }
    *id = key->id;
    if (created != nullptr) {
        *created = isNew;
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::GetValue(KeyId id, const std::string& name, RegistryValue* value) {
    Key* key = Lookup(id);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    for (const RegistryValue& v : key->values) {
        if (keypath::SameName(v.name, name)) {
            *value = v;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG MemoryRegistry::PutValue(KeyId id, const RegistryValue& value) {
    Key* key = Lookup(id);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    if (const Refusal* refusal = FindRefusal(*key, key->foldedPath, true, 0)) {
        return refusal->code;
    }
    for (RegistryValue& v : key->values) {
        if (keypath::SameName(v.name, value.name)) {
            v.type = value.type;
            v.data = value.data;
            return ERROR_SUCCESS;
        }
    }
    key->values.push_back(value);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::RemoveValue(KeyId id, const std::string& name) {
    Key* key = Lookup(id);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    auto it = std::find_if(key->values.begin(), key->values.end(),
                           [&](const RegistryValue& v) { return keypath::SameName(v.name, name); });
    if (it == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    key->values.erase(it);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::RemoveKey(KeyId base, const std::string& path) {
    KeyId id = 0;
    LONG rc = FindKey(base, path, 0, &id);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    Key* key = Lookup(id);
    if (key->parent == nullptr) {
        return ERROR_ACCESS_DENIED; // a root is never deleted
    }
    if (!key->subkeys.empty()) {
        return ERROR_ACCESS_DENIED; // as on Windows: subkeys go first
    }
    m_byId.erase(id);
    key->parent->subkeys.erase(keypath::Fold(key->name));
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::ListKeys(KeyId id, std::vector<std::string>* names) {
    Key* key = Lookup(id);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    names->clear();
    for (const auto& [folded, child] : key->subkeys) {
        names->push_back(child->name);
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::ListValues(KeyId id, std::vector<RegistryValue>* values) {
    Key* key = Lookup(id);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    *values = key->values;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::GetKeyClass(KeyId id, std::string* keyClass) {
    Key* key = Lookup(id);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    *keyClass = key->keyClass;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::Flush(HKEY root) {
    if (keypath::RootIndex(root) < 0) {
        return ERROR_INVALID_HANDLE;
    }
    ++m_nFlushes;
    return ERROR_SUCCESS;
}

std::unique_ptr<MemoryRegistry::Key> MemoryRegistry::Copy(const Key& key, Key* parent) {
    auto copy = std::make_unique<Key>();
    copy->id = key.id;
    copy->root = key.root;
    copy->name = key.name;
    copy->foldedPath = key.foldedPath;
    copy->keyClass = key.keyClass;
    copy->parent = parent;
    copy->values = key.values;
    for (const auto& [folded, child] : key.subkeys) {
        copy->subkeys.emplace(folded, Copy(*child, copy.get()));
    }
    return copy;
}

void MemoryRegistry::Index(Key* key) {
    m_byId[key->id] = key;
    for (auto& [folded, child] : key->subkeys) {
        Index(child.get());
    }
}

LONG MemoryRegistry::BeginBatch() {
    if (m_batch[0]) {
        return ERROR_INVALID_FUNCTION;
    }
    for (int i = 0; i < 3; ++i) {
        m_batch[i] = Copy(*m_roots[i], nullptr);
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::CommitBatch() {
    if (!m_batch[0]) {
        return ERROR_INVALID_FUNCTION;
    }
    for (auto& saved : m_batch) {
        saved.reset();
    }
    return ERROR_SUCCESS;
}

void MemoryRegistry::RollbackBatch() {
    if (!m_batch[0]) {
        return;
    }
    // Keys made in the batch are gone with it; their ids are not given out again.
    m_byId.clear();
    for (int i = 0; i < 3; ++i) {
        m_roots[i] = std::move(m_batch[i]);
        Index(m_roots[i].get());
    }
}

void MemoryRegistry::RefuseOpen(HKEY root, const std::string& path, LONG code, REGSAM access) {
    m_refusals.push_back({keypath::RootIndex(root), keypath::Fold(path), code, access, false});
}

void MemoryRegistry::RefuseSet(HKEY root, const std::string& path, LONG code) {
    m_refusals.push_back({keypath::RootIndex(root), keypath::Fold(path), code, 0, true});
}

void MemoryRegistry::ClearRefusals() {
    m_refusals.clear();
}

} // namespace platform
