// The Win32 registry functions over the installed backend. Open keys are entries of a handle
// table that maps each handle to its root, path, the access it was opened with and its
// transaction.
//
// A transaction keeps its writes as a list of backend calls. Whatever goes through one of its
// handles runs inside a backend batch that first replays that list and is always rolled back, so
// the call sees the transaction's writes and nothing reaches the store; CommitTransaction
// replays the list once more in a batch that is committed.
#include "platform/registry.h"

#include "KeyPath.h"
#include "platform/process.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct OpenKey {
    HKEY root;
    std::string path;
    REGSAM access;
    ULONG_PTR transaction = 0; // 0: none
};

// One write of a transaction, as the backend call that makes it.
struct Write {
    enum Kind { kCreateKey, kSetValue, kDeleteValue, kDeleteKey } kind;
    HKEY root;
    std::string path;
    std::string keyClass;
    platform::RegistryValue value;
};

struct Transaction {
    bool active = true;
    std::vector<Write> writes;
};

std::mutex g_lock;
platform::RegistryBackend* g_backend = nullptr;
std::unordered_map<ULONG_PTR, OpenKey> g_keys;
std::unordered_map<ULONG_PTR, Transaction> g_transactions;
// Handles of opened keys count up from here, well away from the predefined roots; those of
// transactions from far above, away from the process service's handles.
ULONG_PTR g_nextHandle = 0x1000;
ULONG_PTR g_nextTransaction = 0x40000000;

LONG Replay(const Write& write) {
    bool created = false;
    switch (write.kind) {
    case Write::kCreateKey:
        return g_backend->CreateKey(write.root, write.path, write.keyClass, &created);
    case Write::kSetValue:
        return g_backend->SetValue(write.root, write.path, write.value);
    case Write::kDeleteValue:
        return g_backend->DeleteValue(write.root, write.path, write.value.name);
    case Write::kDeleteKey:
        return g_backend->DeleteKey(write.root, write.path);
    }
    return ERROR_INVALID_FUNCTION;
}

// Runs a backend call as the transaction `handle` (0: none) sees the store. A write (`write` not
// null) joins the transaction when the call succeeds.
template <class F> LONG InTransaction(ULONG_PTR handle, const Write* write, F&& call) {
    if (handle == 0) {
        return call();
    }
    auto it = g_transactions.find(handle);
    if (it == g_transactions.end() || !it->second.active) {
        return ERROR_TRANSACTION_NOT_ACTIVE;
    }
    Transaction& transaction = it->second;
    if (write == nullptr && transaction.writes.empty()) {
        return call();
    }
    LONG rc = g_backend->BeginBatch();
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    for (const Write& done : transaction.writes) {
        rc = Replay(done);
        if (rc != ERROR_SUCCESS) {
            break;
        }
    }
    if (rc == ERROR_SUCCESS) {
        rc = call();
    }
    g_backend->RollbackBatch();
    if (rc == ERROR_SUCCESS && write != nullptr) {
        transaction.writes.push_back(*write);
    }
    return rc;
}

// CloseHandle of a transaction: drops it unless it was committed.
bool CloseTransaction(HANDLE handle) {
    std::lock_guard lock(g_lock);
    return g_transactions.erase(reinterpret_cast<ULONG_PTR>(handle)) == 1;
}

// The transaction of a handle given to a transacted call; 0 when it is not one.
ULONG_PTR TransactionOf(HANDLE handle) {
    auto it = g_transactions.find(reinterpret_cast<ULONG_PTR>(handle));
    return it != g_transactions.end() ? it->first : 0;
}

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

// The path of a subkey below an open key; a single trailing backslash is allowed, as on Windows.
LONG SubKeyPath(const OpenKey& key, LPCSTR lpSubKey, std::string* path) {
    std::string sub = lpSubKey != nullptr ? lpSubKey : "";
    if (!sub.empty() && sub.back() == '\\') {
        sub.pop_back();
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

HKEY AddHandle(HKEY root, const std::string& path, REGSAM access, ULONG_PTR transaction = 0) {
    ULONG_PTR handle = g_nextHandle;
    g_nextHandle += 4;
    g_keys.emplace(handle, OpenKey{root, path, access, transaction});
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

namespace {

LONG OpenKeyIn(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult,
               ULONG_PTR transaction) {
    OpenKey key;
    LONG rc = ResolveFor(hKey, 0, &key);
    std::string path;
    if (rc == ERROR_SUCCESS) {
        rc = SubKeyPath(key, lpSubKey, &path);
    }
    if (rc == ERROR_SUCCESS) {
        rc = InTransaction(transaction, nullptr,
                           [&] { return g_backend->OpenKey(key.root, path, samDesired); });
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    *phkResult = AddHandle(key.root, path, samDesired, transaction);
    return ERROR_SUCCESS;
}

LONG CreateKeyIn(HKEY hKey, LPCSTR lpSubKey, LPSTR lpClass, REGSAM samDesired, PHKEY phkResult,
                 LPDWORD lpdwDisposition, ULONG_PTR transaction) {
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
        Write write{Write::kCreateKey, key.root, path, lpClass != nullptr ? lpClass : "", {}};
        rc = InTransaction(transaction, &write, [&] {
            return g_backend->CreateKey(key.root, path, write.keyClass, &created);
        });
    } else {
        // Without the right to create, an existing key may still be opened.
        rc = InTransaction(transaction, nullptr,
                           [&] { return g_backend->OpenKey(key.root, path, samDesired); });
        if (rc == ERROR_FILE_NOT_FOUND) {
            rc = ERROR_ACCESS_DENIED;
        }
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    *phkResult = AddHandle(key.root, path, samDesired, transaction);
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

} // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   PHKEY phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    return OpenKeyIn(hKey, lpSubKey, samDesired, phkResult, 0);
}

LONG RegOpenKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                           PHKEY phkResult, HANDLE hTransaction, PVOID /*pExtendedParemeter*/) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    ULONG_PTR transaction = TransactionOf(hTransaction);
    if (transaction == 0) {
        return ERROR_INVALID_HANDLE;
    }
    return OpenKeyIn(hKey, lpSubKey, samDesired, phkResult, transaction);
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*Reserved*/, LPSTR lpClass,
                     DWORD /*dwOptions*/, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    if (lpSubKey == nullptr || phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    return CreateKeyIn(hKey, lpSubKey, lpClass, samDesired, phkResult, lpdwDisposition, 0);
}

LONG RegCreateKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD /*Reserved*/, LPSTR lpClass,
                             DWORD /*dwOptions*/, REGSAM samDesired,
                             LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                             LPDWORD lpdwDisposition, HANDLE hTransaction,
                             PVOID /*pExtendedParemeter*/) {
    if (lpSubKey == nullptr || phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(g_lock);
    ULONG_PTR transaction = TransactionOf(hTransaction);
    if (transaction == 0) {
        return ERROR_INVALID_HANDLE;
    }
    return CreateKeyIn(hKey, lpSubKey, lpClass, samDesired, phkResult, lpdwDisposition,
                       transaction);
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
    rc = InTransaction(key.transaction, nullptr, [&] {
        LONG found = g_backend->QueryValue(key.root, key.path,
                                           lpValueName != nullptr ? lpValueName : "", &value);
        return found == ERROR_SUCCESS ? found : KeyGoneOr(found, key);
    });
    if (rc != ERROR_SUCCESS) {
        return rc;
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
    Write write{Write::kSetValue, key.root, key.path, "", {}};
    write.value.name = lpValueName != nullptr ? lpValueName : "";
    write.value.type = dwType;
    if (cbData > 0) {
        write.value.data.assign(lpData, lpData + cbData);
    }
    return InTransaction(key.transaction, &write, [&] {
        return KeyGoneOr(g_backend->SetValue(key.root, key.path, write.value), key);
    });
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
    Write write{Write::kDeleteValue, key.root, key.path, "", {}};
    write.value.name = lpValueName != nullptr ? lpValueName : "";
    return InTransaction(key.transaction, &write, [&] {
        return KeyGoneOr(g_backend->DeleteValue(key.root, key.path, write.value.name), key);
    });
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
    Write write{Write::kDeleteKey, key.root, path, "", {}};
    return InTransaction(key.transaction, &write,
                         [&] { return g_backend->DeleteKey(key.root, path); });
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
    std::string keyClass;
    rc = InTransaction(key.transaction, nullptr, [&] {
        LONG listed = g_backend->EnumKeys(key.root, key.path, &names);
        if (listed != ERROR_SUCCESS) {
            return KeyGoneOr(listed, key);
        }
        if (lpClass != nullptr && dwIndex < names.size()) {
            return g_backend->QueryKeyClass(
                key.root, platform::keypath::Join(key.path, names[dwIndex]), &keyClass);
        }
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (dwIndex >= names.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    rc = CopyName(names[dwIndex], lpName, lpcchName);
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
    rc = InTransaction(key.transaction, nullptr, [&] {
        return KeyGoneOr(g_backend->EnumValues(key.root, key.path, &values), key);
    });
    if (rc != ERROR_SUCCESS) {
        return rc;
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
    rc = InTransaction(key.transaction, nullptr, [&] {
        LONG found = g_backend->QueryKeyClass(key.root, key.path, &keyClass);
        if (found == ERROR_SUCCESS && lpcSubKeys != nullptr) {
            found = g_backend->EnumKeys(key.root, key.path, &names);
        }
        if (found == ERROR_SUCCESS && lpcValues != nullptr) {
            found = g_backend->EnumValues(key.root, key.path, &values);
        }
        return found == ERROR_SUCCESS ? found : KeyGoneOr(found, key);
    });
    if (rc != ERROR_SUCCESS) {
        return rc;
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

HANDLE CreateTransaction(LPSECURITY_ATTRIBUTES /*lpTransactionAttributes*/, LPGUID /*UOW*/,
                         DWORD /*CreateOptions*/, DWORD /*IsolationLevel*/,
                         DWORD /*IsolationFlags*/, DWORD /*Timeout*/, LPWSTR /*Description*/) {
    platform::SetForeignHandleCloser(&CloseTransaction);
    std::lock_guard lock(g_lock);
    ULONG_PTR handle = g_nextTransaction;
    g_nextTransaction += 4;
    g_transactions.emplace(handle, Transaction{});
    return reinterpret_cast<HANDLE>(handle);
}

BOOL CommitTransaction(HANDLE TransactionHandle) {
    LONG rc = ERROR_SUCCESS;
    {
        std::lock_guard lock(g_lock);
        auto it = g_transactions.find(reinterpret_cast<ULONG_PTR>(TransactionHandle));
        if (it == g_transactions.end()) {
            rc = ERROR_INVALID_HANDLE;
        } else if (!it->second.active) {
            rc = ERROR_TRANSACTION_NOT_ACTIVE;
        } else {
            Transaction& transaction = it->second;
            transaction.active = false;
            if (!transaction.writes.empty()) {
                rc = g_backend != nullptr ? g_backend->BeginBatch() : ERROR_BADDB;
                for (size_t i = 0; rc == ERROR_SUCCESS && i < transaction.writes.size(); ++i) {
                    rc = Replay(transaction.writes[i]);
                }
                if (rc == ERROR_SUCCESS) {
                    rc = g_backend->CommitBatch();
                }
                if (rc != ERROR_SUCCESS && g_backend != nullptr) {
                    g_backend->RollbackBatch();
                }
                transaction.writes.clear();
            }
        }
    }
    if (rc != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(rc));
        return FALSE;
    }
    return TRUE;
}

BOOL RollbackTransaction(HANDLE TransactionHandle) {
    LONG rc = ERROR_SUCCESS;
    {
        std::lock_guard lock(g_lock);
        auto it = g_transactions.find(reinterpret_cast<ULONG_PTR>(TransactionHandle));
        if (it == g_transactions.end()) {
            rc = ERROR_INVALID_HANDLE;
        } else if (!it->second.active) {
            rc = ERROR_TRANSACTION_NOT_ACTIVE;
        } else {
            it->second.active = false;
            it->second.writes.clear();
        }
    }
    if (rc != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(rc));
        return FALSE;
    }
    return TRUE;
}

namespace platform {

void InstallRegistry(RegistryBackend* backend) {
    std::lock_guard lock(g_lock);
    g_backend = backend;
    g_keys.clear();
    // A transaction's writes were meant for the store it began on.
    for (auto& [handle, transaction] : g_transactions) {
        transaction.active = false;
        transaction.writes.clear();
    }
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
