// The Win32 registry functions over the installed backend. Open keys are entries of a handle
// table that maps each handle to the key's id (so that it keeps meaning that key, deleted or
// not), its root and path, the access it was opened with and its transaction.
//
// A transaction keeps its writes as a list of backend calls by path. Whatever goes through one
// of its handles runs inside a backend batch that first replays that list and is always rolled
// back, so the call sees the transaction's writes and nothing reaches the store;
// CommitTransaction replays the list once more in a batch that is committed.
#include "platform/registry.h"

#include "KeyPath.h"
#include "platform/process.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

using platform::KeyId;

struct OpenKey {
    HKEY root;
    std::string path;
    KeyId id;
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

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

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

// The id of an open key as the call sees it: a transacted handle finds its key by path, since
// keys the transaction made have no lasting id.
LONG KeyIn(const OpenKey& key, KeyId* id) {
    if (key.transaction == 0) {
        *id = key.id;
        return ERROR_SUCCESS;
    }
    LONG rc = g_backend->FindKey(g_backend->RootKey(key.root), key.path, 0, id);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : rc;
}

// Runs `call(id)` on an open key, within its transaction if it has one.
template <class F> LONG OnKey(const OpenKey& key, const Write* write, F&& call) {
    return InTransaction(key.transaction, write, [&]() -> LONG {
        KeyId id = 0;
        LONG rc = KeyIn(key, &id);
        return rc == ERROR_SUCCESS ? call(id) : rc;
    });
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
        *key = OpenKey{hKey, "", g_backend->RootKey(hKey), KEY_ALL_ACCESS, 0};
        return key->id != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
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

// Runs `body(key)` under the registry lock on the key a handle names, once the handle is known
// to have the rights `needed`; otherwise gives why not.
template <class F> LONG WithKey(HKEY hKey, REGSAM needed, F&& body) {
    std::lock_guard lock(g_lock);
    OpenKey key;
    LONG rc = ResolveFor(hKey, needed, &key);
    return rc != ERROR_SUCCESS ? rc : body(key);
}

// The transaction a transacted call names; ERROR_INVALID_HANDLE when the handle is not one.
LONG TransactionFor(HANDLE handle, ULONG_PTR* transaction) {
    *transaction = TransactionOf(handle);
    return *transaction != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// A subkey path as given, without its trailing backslashes (Windows ignores them, and "\" alone
// names the key itself); an empty name elsewhere is ERROR_BAD_PATHNAME.
LONG SubKeyPath(LPCSTR lpSubKey, std::string* sub) {
    *sub = lpSubKey != nullptr ? lpSubKey : "";
    while (!sub->empty() && sub->back() == '\\') {
        sub->pop_back();
    }
    std::vector<std::string> names;
    return platform::keypath::Split(*sub, &names) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

HKEY AddHandle(const OpenKey& key) {
    ULONG_PTR handle = g_nextHandle;
    g_nextHandle += 4;
    g_keys.emplace(handle, key);
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

// Copies value data into a buffer known to be large enough; a string that was stored without
// its NUL gets one when there is room, as Windows does (the size reported stays the stored one).
void PutData(const platform::RegistryValue& value, LPBYTE lpData, DWORD capacity) {
    DWORD size = static_cast<DWORD>(value.data.size());
    if (size > 0) {
        std::memcpy(lpData, value.data.data(), size);
    }
    if (IsStringType(value.type) && size > 0 && value.data.back() != 0 && capacity > size) {
        lpData[size] = 0;
    }
}

// Hands out value data the way RegQueryValueEx does: a null buffer asks for the size only.
// lpType and lpcbData may point at the same variable.
LONG CopyData(const platform::RegistryValue& value, LPDWORD lpType, LPBYTE lpData,
              LPDWORD lpcbData) {
    DWORD capacity = lpcbData != nullptr ? *lpcbData : 0;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpType != nullptr) {
        *lpType = value.type;
    }
    if (lpcbData == nullptr) {
        return ERROR_SUCCESS;
    }
    *lpcbData = size;
    if (lpData == nullptr) {
        return ERROR_SUCCESS;
    }
    if (capacity < size) {
        return ERROR_MORE_DATA;
    }
    PutData(value, lpData, capacity);
    return ERROR_SUCCESS;
}

// Finds or makes (`reach(parent, path)`) the key `path` below an open key, for a call made in
// `transaction` (0: none): by its own id when neither the call nor the handle is transacted,
// else by path from the root as the transaction sees the store. A key reached without a
// transaction through a transacted handle is then reached again as stored.
template <class F>
LONG ReachKey(const OpenKey& key, const std::string& sub, const std::string& path,
              ULONG_PTR transaction, const Write* write, F&& reach) {
    if (transaction == 0 && key.transaction == 0) {
        return reach(key.id, sub);
    }
    LONG rc = InTransaction(transaction, write,
                            [&] { return reach(g_backend->RootKey(key.root), path); });
    if (transaction == 0 && rc == ERROR_SUCCESS) {
        rc = reach(g_backend->RootKey(key.root), path);
    }
    return rc;
}

LONG OpenKeyIn(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult,
               ULONG_PTR transaction) {
    OpenKey key;
    LONG rc = ResolveFor(hKey, 0, &key);
    if (rc != ERROR_SUCCESS) {
        return rc; // *phkResult is left alone, as Windows does for a bad handle
    }
    if (platform::keypath::RootIndex(hKey) >= 0 && (lpSubKey == nullptr || *lpSubKey == '\0')) {
        *phkResult = hKey; // a predefined root opens as itself
        return ERROR_SUCCESS;
    }
    std::string sub;
    rc = SubKeyPath(lpSubKey, &sub);
    OpenKey opened{key.root, platform::keypath::Join(key.path, sub), 0, samDesired, transaction};
    if (rc == ERROR_SUCCESS) {
        rc = ReachKey(key, sub, opened.path, transaction, nullptr,
                      [&](KeyId parent, const std::string& path) {
                          return g_backend->FindKey(parent, path, samDesired, &opened.id);
                      });
    }
    if (rc != ERROR_SUCCESS) {
        *phkResult = nullptr;
        return rc;
    }
    *phkResult = AddHandle(opened);
    return ERROR_SUCCESS;
}

LONG CreateKeyIn(HKEY hKey, LPCSTR lpSubKey, LPSTR lpClass, REGSAM samDesired, PHKEY phkResult,
                 LPDWORD lpdwDisposition, ULONG_PTR transaction) {
    OpenKey key;
    LONG rc = ResolveFor(hKey, 0, &key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    std::string sub;
    rc = SubKeyPath(lpSubKey, &sub);
    // As on Windows, the rights the parent handle was opened with do not matter here.
    OpenKey opened{key.root, platform::keypath::Join(key.path, sub), 0, samDesired, transaction};
    bool created = false;
    if (rc == ERROR_SUCCESS) {
        std::string keyClass = lpClass != nullptr ? lpClass : "";
        Write write{Write::kCreateKey, key.root, opened.path, keyClass, {}};
        rc = ReachKey(key, sub, opened.path, transaction, transaction != 0 ? &write : nullptr,
                      [&](KeyId parent, const std::string& path) {
                          return g_backend->MakeKey(parent, path, keyClass, &opened.id, &created);
                      });
    }
    if (rc != ERROR_SUCCESS) {
        *phkResult = nullptr;
        return rc;
    }
    *phkResult = AddHandle(opened);
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
    ULONG_PTR transaction = 0;
    LONG rc = TransactionFor(hTransaction, &transaction);
    return rc != ERROR_SUCCESS ? rc : OpenKeyIn(hKey, lpSubKey, samDesired, phkResult, transaction);
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
    ULONG_PTR transaction = 0;
    LONG rc = TransactionFor(hTransaction, &transaction);
    return rc != ERROR_SUCCESS ? rc
                               : CreateKeyIn(hKey, lpSubKey, lpClass, samDesired, phkResult,
                                             lpdwDisposition, transaction);
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithKey(hKey, KEY_QUERY_VALUE, [&](const OpenKey& key) -> LONG {
        platform::RegistryValue value;
        const char* name = lpValueName != nullptr ? lpValueName : "";
        LONG rc =
            OnKey(key, nullptr, [&](KeyId id) { return g_backend->GetValue(id, name, &value); });
        if (rc != ERROR_SUCCESS) {
            if (rc == ERROR_FILE_NOT_FOUND && lpData == nullptr && lpcbData != nullptr) {
                *lpcbData = 0; // as Windows does when only the size was asked for
            }
            return rc;
        }
        return CopyData(value, lpType, lpData, lpcbData);
    });
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    if (lpData == nullptr && cbData != 0) {
        return ERROR_NOACCESS;
    }
    return WithKey(hKey, KEY_SET_VALUE, [&](const OpenKey& key) -> LONG {
        // A string whose size leaves out its NUL is stored as given: Windows adds the NUL when the
        // byte after the given size is one, but that byte is not the caller's to read.
        Write write{Write::kSetValue, key.root, key.path, "", {}};
        write.value.name = lpValueName != nullptr ? lpValueName : "";
        write.value.type = dwType;
        if (cbData > 0) {
            write.value.data.assign(lpData, lpData + cbData);
        }
        return OnKey(key, &write, [&](KeyId id) { return g_backend->PutValue(id, write.value); });
    });
}

LONG RegCloseKey(HKEY hKey) {
    if (platform::keypath::RootIndex(hKey) >= 0) {
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(g_lock);
    if (g_keys.erase(reinterpret_cast<ULONG_PTR>(hKey)) != 1) {
        return ERROR_INVALID_HANDLE;
    }
    if (g_backend != nullptr) {
        g_backend->KeyClosed();
    }
    return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY hKey) {
    return WithKey(hKey, 0, [&](const OpenKey& key) -> LONG {
        if (key.transaction == 0 && platform::keypath::RootIndex(hKey) < 0) {
            KeyId id = 0;
            LONG rc = g_backend->FindKey(key.id, "", 0, &id);
            if (rc != ERROR_SUCCESS) {
                return rc;
            }
        }
        return g_backend->Flush(key.root);
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    return WithKey(hKey, KEY_SET_VALUE, [&](const OpenKey& key) -> LONG {
        Write write{Write::kDeleteValue, key.root, key.path, "", {}};
        write.value.name = lpValueName != nullptr ? lpValueName : "";
        return OnKey(key, &write,
                     [&](KeyId id) { return g_backend->RemoveValue(id, write.value.name); });
    });
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (lpSubKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithKey(hKey, 0, [&](const OpenKey& key) -> LONG {
        std::string sub;
        LONG rc = SubKeyPath(lpSubKey, &sub);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        std::string path = platform::keypath::Join(key.path, sub);
        if (path.empty()) {
            return ERROR_ACCESS_DENIED; // a root is never deleted
        }
        if (key.transaction == 0) {
            return g_backend->RemoveKey(key.id, sub);
        }
        Write write{Write::kDeleteKey, key.root, path, "", {}};
        return InTransaction(key.transaction, &write,
                             [&] { return g_backend->DeleteKey(key.root, path); });
    });
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* /*lpftLastWriteTime*/) {
    if (lpReserved != nullptr || lpcchName == nullptr ||
        (lpClass != nullptr && lpcchClass == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithKey(hKey, KEY_ENUMERATE_SUB_KEYS, [&](const OpenKey& key) -> LONG {
        std::vector<std::string> names;
        std::string keyClass;
        LONG rc = OnKey(key, nullptr, [&](KeyId id) {
            LONG listed = g_backend->ListKeys(id, &names);
            if (listed != ERROR_SUCCESS || lpClass == nullptr || dwIndex >= names.size()) {
                return listed;
            }
            KeyId sub = 0;
            listed = g_backend->FindKey(id, names[dwIndex], 0, &sub);
            return listed == ERROR_SUCCESS ? g_backend->GetKeyClass(sub, &keyClass) : listed;
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
    });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || lpValueName == nullptr || lpcchValueName == nullptr ||
        (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithKey(hKey, KEY_QUERY_VALUE, [&](const OpenKey& key) -> LONG {
        std::vector<platform::RegistryValue> values;
        LONG rc = OnKey(key, nullptr, [&](KeyId id) { return g_backend->ListValues(id, &values); });
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (dwIndex >= values.size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        // As Windows does: the type and the data size are given whatever fits; a name that does not
        // fit leaves the name buffer and its count alone, and data that does not fit leaves both
        // buffers and the count alone.
        const platform::RegistryValue& value = values[dwIndex];
        DWORD capacity = lpcbData != nullptr ? *lpcbData : 0;
        DWORD size = static_cast<DWORD>(value.data.size());
        bool nameFits = *lpcchValueName > value.name.size();
        bool dataFits = lpData == nullptr || capacity >= size;
        if (lpType != nullptr) {
            *lpType = value.type;
        }
        if (lpcbData != nullptr) {
            *lpcbData = size;
        }
        if (lpData != nullptr && dataFits) {
            PutData(value, lpData, capacity);
        }
        if (!nameFits || !dataFits) {
            return ERROR_MORE_DATA;
        }
        std::memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
        *lpcchValueName = static_cast<DWORD>(value.name.size());
        return ERROR_SUCCESS;
    });
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpcSubKeys,
                      LPDWORD lpcValues) {
    if (lpClass != nullptr && lpcchClass == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithKey(hKey, KEY_QUERY_VALUE, [&](const OpenKey& key) -> LONG {
        std::string keyClass;
        std::vector<std::string> names;
        std::vector<platform::RegistryValue> values;
        LONG rc = OnKey(key, nullptr, [&](KeyId id) {
            LONG found = g_backend->GetKeyClass(id, &keyClass);
            if (found == ERROR_SUCCESS && lpcSubKeys != nullptr) {
                found = g_backend->ListKeys(id, &names);
            }
            if (found == ERROR_SUCCESS && lpcValues != nullptr) {
                found = g_backend->ListValues(id, &values);
            }
            return found;
        });
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (lpcchClass != nullptr) {
            DWORD capacity = *lpcchClass;
            if (lpClass == nullptr) {
                *lpcchClass = static_cast<DWORD>(keyClass.size());
            } else if (capacity == 0) {
                *lpcchClass = 0; // Windows answers success and writes nothing
            } else if (capacity <= keyClass.size()) {
                // What fits, NUL-terminated, with its length.
                std::memcpy(lpClass, keyClass.data(), capacity - 1);
                lpClass[capacity - 1] = '\0';
                *lpcchClass = capacity - 1;
                rc = ERROR_MORE_DATA;
            } else {
                std::memcpy(lpClass, keyClass.c_str(), keyClass.size() + 1);
                *lpcchClass = static_cast<DWORD>(keyClass.size());
            }
        }
        if (lpcSubKeys != nullptr) {
            *lpcSubKeys = static_cast<DWORD>(names.size());
        }
        if (lpcValues != nullptr) {
            *lpcValues = static_cast<DWORD>(values.size());
        }
        return rc;
    });
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

namespace {

// The transaction behind a handle while it is still open; otherwise null, with the reason in
// *rc. Called under g_lock.
Transaction* FindActiveTransaction(HANDLE handle, LONG* rc) {
    auto it = g_transactions.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == g_transactions.end()) {
        *rc = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (!it->second.active) {
        *rc = ERROR_TRANSACTION_NOT_ACTIVE;
        return nullptr;
    }
    return &it->second;
}

// Writes a transaction's recorded writes as one batch of the backend.
LONG ReplayAsBatch(const std::vector<Write>& writes) {
    LONG rc = g_backend != nullptr ? g_backend->BeginBatch() : ERROR_BADDB;
    for (size_t i = 0; rc == ERROR_SUCCESS && i < writes.size(); ++i) {
        rc = Replay(writes[i]);
    }
    if (rc == ERROR_SUCCESS) {
        rc = g_backend->CommitBatch();
    }
    if (rc != ERROR_SUCCESS && g_backend != nullptr) {
        g_backend->RollbackBatch();
    }
    return rc;
}

// Ends an active transaction: its writes land together (commit) or are dropped.
BOOL EndTransaction(HANDLE handle, bool commit) {
    LONG rc = ERROR_SUCCESS;
    {
        std::lock_guard lock(g_lock);
        Transaction* transaction = FindActiveTransaction(handle, &rc);
        if (transaction != nullptr) {
            transaction->active = false;
            if (commit && !transaction->writes.empty()) {
                rc = ReplayAsBatch(transaction->writes);
            }
            transaction->writes.clear();
        }
    }
    if (rc != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(rc));
        return FALSE;
    }
    return TRUE;
}

} // namespace

BOOL CommitTransaction(HANDLE TransactionHandle) {
    return EndTransaction(TransactionHandle, true);
}

BOOL RollbackTransaction(HANDLE TransactionHandle) {
    return EndTransaction(TransactionHandle, false);
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

namespace {

// A key found from a root; a key deleted meanwhile is simply missing.
LONG FindFromRoot(RegistryBackend& backend, HKEY root, const std::string& path, REGSAM access,
                  KeyId* id) {
    KeyId base = backend.RootKey(root);
    if (base == 0) {
        return ERROR_INVALID_HANDLE;
    }
    LONG rc = backend.FindKey(base, path, access, id);
    return rc == ERROR_KEY_DELETED ? ERROR_FILE_NOT_FOUND : rc;
}

LONG Missing(LONG rc) {
    return rc == ERROR_KEY_DELETED ? ERROR_FILE_NOT_FOUND : rc;
}

} // namespace

LONG RegistryBackend::OpenKey(HKEY root, const std::string& path, REGSAM access) {
    KeyId id = 0;
    return FindFromRoot(*this, root, path, access, &id);
}

LONG RegistryBackend::CreateKey(HKEY root, const std::string& path, const std::string& keyClass,
                                bool* created) {
    KeyId base = RootKey(root);
    KeyId id = 0;
    return base != 0 ? MakeKey(base, path, keyClass, &id, created) : ERROR_INVALID_HANDLE;
}

LONG RegistryBackend::QueryValue(HKEY root, const std::string& path, const std::string& name,
                                 RegistryValue* value) {
    KeyId id = 0;
    LONG rc = FindFromRoot(*this, root, path, 0, &id);
    return rc == ERROR_SUCCESS ? Missing(GetValue(id, name, value)) : rc;
}

LONG RegistryBackend::SetValue(HKEY root, const std::string& path, const RegistryValue& value) {
    KeyId id = 0;
    LONG rc = FindFromRoot(*this, root, path, 0, &id);
    return rc == ERROR_SUCCESS ? Missing(PutValue(id, value)) : rc;
}

LONG RegistryBackend::DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    KeyId id = 0;
    LONG rc = FindFromRoot(*this, root, path, 0, &id);
    return rc == ERROR_SUCCESS ? Missing(RemoveValue(id, name)) : rc;
}

LONG RegistryBackend::DeleteKey(HKEY root, const std::string& path) {
    KeyId base = RootKey(root);
    return base != 0 ? Missing(RemoveKey(base, path)) : ERROR_INVALID_HANDLE;
}

LONG RegistryBackend::EnumKeys(HKEY root, const std::string& path,
                               std::vector<std::string>* names) {
    KeyId id = 0;
    LONG rc = FindFromRoot(*this, root, path, 0, &id);
    return rc == ERROR_SUCCESS ? Missing(ListKeys(id, names)) : rc;
}

LONG RegistryBackend::EnumValues(HKEY root, const std::string& path,
                                 std::vector<RegistryValue>* values) {
    KeyId id = 0;
    LONG rc = FindFromRoot(*this, root, path, 0, &id);
    return rc == ERROR_SUCCESS ? Missing(ListValues(id, values)) : rc;
}

LONG RegistryBackend::QueryKeyClass(HKEY root, const std::string& path, std::string* keyClass) {
    KeyId id = 0;
    LONG rc = FindFromRoot(*this, root, path, 0, &id);
    return rc == ERROR_SUCCESS ? Missing(GetKeyClass(id, keyClass)) : rc;
}

RegistryBackend* InstalledRegistry() {
    std::lock_guard lock(g_lock);
    return g_backend;
}

namespace {

// The predefined roots with their names.
const struct {
    const char* longName;
    const char* shortName;
    HKEY root;
} kRootNames[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
};

} // namespace

std::string RootKeyName(HKEY root) {
    for (const auto& r : kRootNames) {
        if (r.root == root) {
            return r.longName;
        }
    }
    return "";
}

HKEY RootKeyFromName(const std::string& name) {
    for (const auto& r : kRootNames) {
        if (keypath::SameName(name, r.longName) || keypath::SameName(name, r.shortName)) {
            return r.root;
        }
    }
    return nullptr;
}

} // namespace platform
