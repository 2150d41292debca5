// The Win32 registry functions over the installed backend. Open keys are entries of a handle
// table that maps each handle to its root, path and the access it was opened with.
#include "platform/registry.h"

#include "KeyPath.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct OpenKey {
    HKEY root;
    std::string path;
    REGSAM access;
};

std::mutex g_lock;
platform::RegistryBackend* g_backend = nullptr;
std::unordered_map<ULONG_PTR, OpenKey> g_keys;
// Handles of opened keys count up from here, well away from the predefined roots.
ULONG_PTR g_nextHandle = 0x1000;

// The key a handle stands for; predefined roots allow everything.
LONG Resolve(HKEY hKey, OpenKey* key) {
    if (platform::keypath::RootIndex(hKey) >= 0) {
        *key = OpenKey{hKey, "", KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    auto it = g_keys.find(reinterpret_cast<ULONG_PTR>(hKey));
    if (it == g_keys.end()) {
        return ERROR_INVALID_HANDLE;
    }
    *key = it->second;
    return ERROR_SUCCESS;
}

// Resolves a handle and checks that it was opened with the rights a call needs.
LONG ResolveFor(HKEY hKey, REGSAM needed, OpenKey* key) {
    if (g_backend == nullptr) {
        return ERROR_BADDB;
    }
    LONG rc = Resolve(hKey, key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if ((key->access & needed) != needed) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

// The path of a subkey below an open key; trailing backslashes are allowed, as on Windows.
LONG SubKeyPath(const OpenKey& key, LPCSTR lpSubKey, std::string* path) {
    std::string sub = lpSubKey != nullptr ? lpSubKey : "";
    if (!sub.empty() && sub.back() == '\\') {
        while (!sub.empty() && sub.back() == '\\') {
            sub.pop_back();
        }
        if (sub.empty()) {
            return ERROR_BAD_PATHNAME;
        }
    }
    std::vector<std::string> names;
    if (!platform::keypath::Split(sub, &names)) {
        return ERROR_BAD_PATHNAME;
    }
    *path = platform::keypath::Join(key.path, sub);
    return ERROR_SUCCESS;
}

// A backend answers "not found" both for a missing value and for a missing key; for a key that
// was open, the second means that the key has been deleted since.
LONG KeyGoneOr(LONG rc, const OpenKey& key) {
    if (rc == ERROR_FILE_NOT_FOUND && g_backend->OpenKey(key.root, key.path, 0) == rc) {
        return ERROR_KEY_DELETED;
    }
    return rc;
}

HKEY AddHandle(HKEY root, const std::string& path, REGSAM access) {
    ULONG_PTR handle = g_nextHandle;
    g_nextHandle += 4;
    g_keys.emplace(handle, OpenKey{root, path, access});
    return reinterpret_cast<HKEY>(handle);
}

// Copies a name into a caller's buffer of *lpcch characters (NUL included) and leaves its length
// there; ERROR_MORE_DATA when it does not fit.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD lpcch) {
    if (lpcch == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (buffer == nullptr || *lpcch <= name.size()) {
        *lpcch = static_cast<DWORD>(name.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *lpcch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Hands out value data the way RegQueryValueEx does: a null buffer asks for the size only.
LONG CopyData(const platform::RegistryValue& value, LPDWORD lpType, LPBYTE lpData,
              LPDWORD lpcbData) {
    if (lpData != nullptr && lpcbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (lpType != nullptr) {
        *lpType = value.type;
    }
    if (lpcbData == nullptr) {
        return ERROR_SUCCESS;
    }
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpData != nullptr) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size > 0) {
            std::memcpy(lpData, value.data.data(), size);
        }
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

} // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   PHKEY phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, 0, &key);
    std::string path;
    if (rc == ERROR_SUCCESS) {
        rc = SubKeyPath(key, lpSubKey, &path);
    }
    if (rc == ERROR_SUCCESS) {
        rc = g_backend->OpenKey(key.root, path, samDesired);
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    *phkResult = AddHandle(key.root, path, samDesired);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*Reserved*/, LPSTR lpClass,
                     DWORD /*dwOptions*/, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    if (lpSubKey == nullptr || phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, 0, &key);
    std::string path;
    if (rc == ERROR_SUCCESS) {
        rc = SubKeyPath(key, lpSubKey, &path);
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    bool created = false;
    if ((key.access & KEY_CREATE_SUB_KEY) == KEY_CREATE_SUB_KEY) {
        rc = g_backend->CreateKey(key.root, path, lpClass != nullptr ? lpClass : "", &created);
    } else {
        // Without the right to create, an existing key may still be opened.
        rc = g_backend->OpenKey(key.root, path, samDesired);
        if (rc == ERROR_FILE_NOT_FOUND) {
            rc = ERROR_ACCESS_DENIED;
        }
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    *phkResult = AddHandle(key.root, path, samDesired);
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    platform::RegistryValue value;
    rc = g_backend->QueryValue(key.root, key.path, lpValueName != nullptr ? lpValueName : "",
                               &value);
    if (rc != ERROR_SUCCESS) {
        return KeyGoneOr(rc, key);
    }
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    if (lpData == nullptr && cbData != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    platform::RegistryValue value;
    value.name = lpValueName != nullptr ? lpValueName : "";
    value.type = dwType;
    if (cbData > 0) {
        value.data.assign(lpData, lpData + cbData);
    }
    return KeyGoneOr(g_backend->SetValue(key.root, key.path, value), key);
}

LONG RegCloseKey(HKEY hKey) {
    if (platform::keypath::RootIndex(hKey) >= 0) {
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(g_lock);
    return g_keys.erase(reinterpret_cast<ULONG_PTR>(hKey)) == 1 ? ERROR_SUCCESS
                                                                : ERROR_INVALID_HANDLE;
}

LONG RegFlushKey(HKEY hKey) {
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, 0, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    return g_backend->Flush(key.root);
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    rc = g_backend->DeleteValue(key.root, key.path, lpValueName != nullptr ? lpValueName : "");
    return KeyGoneOr(rc, key);
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (lpSubKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, 0, &key);
    std::string path;
    if (rc == ERROR_SUCCESS) {
        rc = SubKeyPath(key, lpSubKey, &path);
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (path.empty()) {
        return ERROR_ACCESS_DENIED; // a root is never deleted
    }
    return g_backend->DeleteKey(key.root, path);
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* /*lpftLastWriteTime*/) {
    if (lpReserved != nullptr || lpcchName == nullptr ||
        (lpClass != nullptr && lpcchClass == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, KEY_ENUMERATE_SUB_KEYS, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    std::vector<std::string> names;
    rc = g_backend->EnumKeys(key.root, key.path, &names);
    if (rc != ERROR_SUCCESS) {
        return KeyGoneOr(rc, key);
    }
    if (dwIndex >= names.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::string& name = names[dwIndex];
    std::string keyClass;
    if (lpClass != nullptr) {
        rc = g_backend->QueryKeyClass(key.root, platform::keypath::Join(key.path, name), &keyClass);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
    }
    rc = CopyName(name, lpName, lpcchName);
    if (rc == ERROR_SUCCESS && lpClass != nullptr) {
        rc = CopyName(keyClass, lpClass, lpcchClass);
    }
    return rc;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || lpcchValueName == nullptr ||
        (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    std::vector<platform::RegistryValue> values;
    rc = g_backend->EnumValues(key.root, key.path, &values);
    if (rc != ERROR_SUCCESS) {
        return KeyGoneOr(rc, key);
    }
    if (dwIndex >= values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const platform::RegistryValue& value = values[dwIndex];
    rc = CopyName(value.name, lpValueName, lpcchValueName);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpcSubKeys,
                      LPDWORD lpcValues) {
    if (lpClass != nullptr && lpcchClass == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    std::string keyClass;
    std::vector<std::string> names;
    std::vector<platform::RegistryValue> values;
    rc = g_backend->QueryKeyClass(key.root, key.path, &keyClass);
    if (rc == ERROR_SUCCESS && lpcSubKeys != nullptr) {
        rc = g_backend->EnumKeys(key.root, key.path, &names);
    }
    if (rc == ERROR_SUCCESS && lpcValues != nullptr) {
        rc = g_backend->EnumValues(key.root, key.path, &values);
    }
    if (rc != ERROR_SUCCESS) {
        return KeyGoneOr(rc, key);
    }
    if (lpcchClass != nullptr) {
        if (lpClass == nullptr) {
            *lpcchClass = static_cast<DWORD>(keyClass.size());
        } else {
            rc = CopyName(keyClass, lpClass, lpcchClass);
        }
    }
    if (lpcSubKeys != nullptr) {
        *lpcSubKeys = static_cast<DWORD>(names.size());
    }
    if (lpcValues != nullptr) {
        *lpcValues = static_cast<DWORD>(values.size());
    }
    return rc;
}

namespace platform {

void InstallRegistry(RegistryBackend* backend) {
    std::lock_guard lock(g_lock);
    g_backend = backend;
    g_keys.clear();
}

RegistryBackend* InstalledRegistry() {
    std::lock_guard lock(g_lock);
    return g_backend;
}

std::string RootKeyName(HKEY root) {
    switch (keypath::RootIndex(root)) {
    case 0:
        return "HKEY_CLASSES_ROOT";
    case 1:
        return "HKEY_CURRENT_USER";
    case 2:
        return "HKEY_LOCAL_MACHINE";
    default:
        return "";
    }
}

HKEY RootKeyFromName(const std::string& name) {
    static const struct {
        const char* longName;
        const char* shortName;
        HKEY root;
    } kRoots[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    };
    for (const auto& r : kRoots) {
        if (keypath::SameName(name, r.longName) || keypath::SameName(name, r.shortName)) {
            return r.root;
        }
    }
    return nullptr;
}

} // namespace platform
