#include "platform/registry_memory.h"

#include "KeyPath.h"

namespace platform {

MemoryRegistry::MemoryRegistry() = default;
MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Key* MemoryRegistry::Find(HKEY root, const std::string& path) {
    int index = keypath::RootIndex(root);
    std::vector<std::string> names;
    if (index < 0 || !keypath::Split(path, &names)) {
        return nullptr;
    }
    Key* key = &m_roots[index];
    for (const std::string& name : names) {
        auto it = key->subkeys.find(keypath::Fold(name));
        if (it == key->subkeys.end()) {
            return nullptr;
        }
        key = it->second.get();
    }
    return key;
}

const MemoryRegistry::Refusal* MemoryRegistry::FindRefusal(HKEY root, const std::string& path,
                                                           bool onSet, REGSAM access) const {
    std::string folded = keypath::Fold(path);
    for (const Refusal& r : m_refusals) {
        if (r.onSet == onSet && r.root == keypath::RootIndex(root) && r.foldedPath == folded &&
            (onSet || (r.access & access) != 0)) {
            return &r;
        }
    }
    return nullptr;
}

LONG MemoryRegistry::OpenKey(HKEY root, const std::string& path, REGSAM access) {
    if (keypath::RootIndex(root) < 0) {
        return ERROR_INVALID_HANDLE;
    }
    if (Find(root, path) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (const Refusal* refusal = FindRefusal(root, path, false, access)) {
        return refusal->code;
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::CreateKey(HKEY root, const std::string& path, const std::string& keyClass,
                               bool* created) {
    int index = keypath::RootIndex(root);
    if (index < 0) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> names;
    if (!keypath::Split(path, &names)) {
        return ERROR_BAD_PATHNAME;
    }
    if (const Refusal* refusal = FindRefusal(root, path, false, ~REGSAM{0})) {
        return refusal->code;
    }
    Key* key = &m_roots[index];
    bool isNew = false;
    for (const std::string& name : names) {
        std::unique_ptr<Key>& child = key->subkeys[keypath::Fold(name)];
        if (!child) {
            child = std::make_unique<Key>();
            child->name = name;
            isNew = true;
        }
        key = child.get();
    }
    if (isNew) {
        key->keyClass = keyClass;
    }
    if (created != nullptr) {
        *created = isNew;
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::QueryValue(HKEY root, const std::string& path, const std::string& name,
                                RegistryValue* value) {
    Key* key = Find(root, path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto it = key->values.find(keypath::Fold(name));
    if (it == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    *value = it->second;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::SetValue(HKEY root, const std::string& path, const RegistryValue& value) {
    Key* key = Find(root, path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (const Refusal* refusal = FindRefusal(root, path, true, 0)) {
        return refusal->code;
    }
    auto [it, added] = key->values.try_emplace(keypath::Fold(value.name), value);
    if (!added) {
        // The value keeps the name it was created with.
        it->second.type = value.type;
        it->second.data = value.data;
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    Key* key = Find(root, path);
    if (key == nullptr || key->values.erase(keypath::Fold(name)) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::DeleteKey(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    if (keypath::RootIndex(root) < 0 || !keypath::Split(path, &names)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (names.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    std::string leaf = names.back();
    names.pop_back();
    std::string parentPath;
    for (const std::string& name : names) {
        parentPath = keypath::Join(parentPath, name);
    }
    Key* parent = Find(root, parentPath);
    if (parent == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto it = parent->subkeys.find(keypath::Fold(leaf));
    if (it == parent->subkeys.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!it->second->subkeys.empty()) {
        return ERROR_ACCESS_DENIED; // as on Windows: subkeys go first
    }
    parent->subkeys.erase(it);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumKeys(HKEY root, const std::string& path, std::vector<std::string>* names) {
    Key* key = Find(root, path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    names->clear();
    for (const auto& [folded, child] : key->subkeys) {
        names->push_back(child->name);
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumValues(HKEY root, const std::string& path,
                                std::vector<RegistryValue>* values) {
    Key* key = Find(root, path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    values->clear();
    for (const auto& [folded, value] : key->values) {
        values->push_back(value);
    }
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::QueryKeyClass(HKEY root, const std::string& path, std::string* keyClass) {
    Key* key = Find(root, path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
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

std::unique_ptr<MemoryRegistry::Key> MemoryRegistry::Copy(const Key& key) {
    auto copy = std::make_unique<Key>();
    copy->name = key.name;
    copy->keyClass = key.keyClass;
    copy->values = key.values;
    for (const auto& [folded, child] : key.subkeys) {
        copy->subkeys.emplace(folded, Copy(*child));
    }
    return copy;
}

LONG MemoryRegistry::BeginBatch() {
    if (m_batch[0]) {
        return ERROR_INVALID_FUNCTION;
    }
    for (int i = 0; i < 3; ++i) {
        m_batch[i] = Copy(m_roots[i]);
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
    for (int i = 0; i < 3; ++i) {
        m_roots[i] = std::move(*m_batch[i]);
        m_batch[i].reset();
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
