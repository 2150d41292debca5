// A store's keys and values as text, for comparing a whole store before and after a run; and
// text values made the way programs store them.
#pragma once

#include "platform/registry.h"

#include <sstream>
#include <string>
#include <vector>

// A REG_SZ value holding `text` and its NUL.
inline platform::RegistryValue SzValue(const std::string& name, const std::string& text) {
    platform::RegistryValue value{name, REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
    value.data.push_back(0);
    return value;
}

// One value as a line: name, type and bytes.
inline void DumpValue(std::ostringstream& out, const platform::RegistryValue& v) {
    out << v.name << " | " << v.type << " |";
    for (BYTE b : v.data)
        out << ' ' << static_cast<int>(b);
    out << '\n';
}

// Every key and value below `path` of `root`: one line per value (path, name, type, bytes).
inline std::string DumpRegistry(platform::RegistryBackend& store, HKEY root,
                                const std::string& path = "") {
    std::ostringstream out;
    std::vector<platform::RegistryValue> values;
    store.EnumValues(root, path, &values);
    for (const auto& v : values) {
        out << path << " | ";
        DumpValue(out, v);
    }
    std::vector<std::string> keys;
    store.EnumKeys(root, path, &keys);
    for (const auto& k : keys)
        out << DumpRegistry(store, root, path.empty() ? k : path + "\\" + k);
    return out.str();
}

// The whole store, for comparing two stores: every key of the three roots with its class, then
// its values (name, type, bytes), in the store's order.
inline void DumpKeyAndBelow(platform::RegistryBackend& store, HKEY root, const std::string& path,
                            std::ostringstream& out) {
    std::string keyClass;
    store.QueryKeyClass(root, path, &keyClass);
    out << platform::RootKeyName(root) << '\\' << path << " class " << keyClass << '\n';
    std::vector<platform::RegistryValue> values;
    store.EnumValues(root, path, &values);
    for (const auto& v : values) {
        out << "  ";
        DumpValue(out, v);
    }
    std::vector<std::string> keys;
    store.EnumKeys(root, path, &keys);
    for (const auto& k : keys)
        DumpKeyAndBelow(store, root, path.empty() ? k : path + "\\" + k, out);
}

inline std::string DumpStore(platform::RegistryBackend& store) {
    std::ostringstream out;
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        DumpKeyAndBelow(store, root, "", out);
    return out.str();
}
