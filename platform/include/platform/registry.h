// The registry service: the subset of the Windows registry API that the launcher and its tools
// call, forwarded to the backend installed with InstallRegistry.
//
// Keys live below three roots. Key and value names compare without regard to case and keep the
// case they were created with; the ANSI code page is 1252 (Western European), so its letters
// beyond ASCII fold too ("\xC4x" and "\xE4x" are one name). Errors are Windows error codes:
// ERROR_FILE_NOT_FOUND (2) for a missing key or value, ERROR_ACCESS_DENIED (5), ERROR_MORE_DATA
// (234) for a buffer that is too small, ERROR_BADDB (1009) for a store that cannot be read.
#pragma once

#include "platform/windef.h"

#include <cstdint>
#include <string>
#include <vector>

#ifndef _WIN32
struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// A key path with an empty part ("a\\b", "\\a") or a key name that is too long.
constexpr LONG ERROR_BAD_PATHNAME = 161;
// Data given as a null pointer with a size.
constexpr LONG ERROR_NOACCESS = 998;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
// lpData may be null to ask for the size only. With a buffer that is too small the result is
// ERROR_MORE_DATA and *lpcbData holds the size needed.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegCloseKey(HKEY hKey);
LONG RegFlushKey(HKEY hKey);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Deletes a key that has no subkeys.
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* lpftLastWriteTime);
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
// Class string, number of subkeys and values of an open key (the rest of the Windows
// parameters are not offered).
LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpcSubKeys,
                      LPDWORD lpcValues);
#else
// The short form the tools use (class string, subkey and value counts), over the real call.
inline LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpcSubKeys,
                             LPDWORD lpcValues) {
    return ::RegQueryInfoKeyA(hKey, lpClass, lpcchClass, nullptr, lpcSubKeys, nullptr, nullptr,
                              lpcValues, nullptr, nullptr, nullptr, nullptr);
}
#endif // !_WIN32

// Transactions (the ktmw32 subset) and the registry calls that take one. Every write made
// through a key handle opened or created with a transaction belongs to it: nothing of it is
// seen through other handles, nor stored, until CommitTransaction applies all of it at once (or
// nothing, when that fails). Reads through such a handle see the transaction's own writes.
// RollbackTransaction, or CloseHandle on the transaction without a commit, drops it. Once the
// transaction has ended, its key handles answer ERROR_TRANSACTION_NOT_ACTIVE to every call but
// RegCloseKey.
#ifdef _WIN32
#include <ktmw32.h>
#else
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
typedef GUID* LPGUID;
typedef wchar_t* LPWSTR;
typedef void* PVOID;
#ifndef INVALID_HANDLE_VALUE
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#endif
constexpr LONG ERROR_TRANSACTION_NOT_ACTIVE = 6701;

// Description may be null. INVALID_HANDLE_VALUE on failure.
HANDLE CreateTransaction(LPSECURITY_ATTRIBUTES lpTransactionAttributes, LPGUID UOW,
                         DWORD CreateOptions, DWORD IsolationLevel, DWORD IsolationFlags,
                         DWORD Timeout, LPWSTR Description);
// FALSE with GetLastError() on failure; the transaction has ended either way.
BOOL CommitTransaction(HANDLE TransactionHandle);
BOOL RollbackTransaction(HANDLE TransactionHandle);
LONG RegCreateKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                             DWORD dwOptions, REGSAM samDesired,
                             LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                             LPDWORD lpdwDisposition, HANDLE hTransaction,
                             PVOID pExtendedParemeter);
LONG RegOpenKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                           PHKEY phkResult, HANDLE hTransaction, PVOID pExtendedParemeter);
#endif // _WIN32

namespace platform {

// One named value as a backend stores it.
struct RegistryValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Identifies one key of a store for as long as the key exists; the id of a deleted key is never
// given to another key.
typedef long long KeyId; // as wide as SQLite's row ids

// A store behind the registry functions. Keys are found by a path below a key they already know
// (backslash-separated names; "" is that key itself), and then named by their id, so a handle
// keeps meaning the key it was opened on. Every call reports a Windows error code; a key id
// whose key has been deleted gives ERROR_KEY_DELETED.
class RegistryBackend {
  public:
    virtual ~RegistryBackend() = default;

    // The id of a predefined root; 0 for any other handle.
    virtual KeyId RootKey(HKEY root) = 0;
    // The key at `path` below `base`, if it may be opened with the access asked for.
    virtual LONG FindKey(KeyId base, const std::string& path, REGSAM access, KeyId* id) = 0;
    // Creates the key and any missing parents below `base`; *created tells whether it is new.
    // Only a new key takes the class.
    virtual LONG MakeKey(KeyId base, const std::string& path, const std::string& keyClass,
                         KeyId* id, bool* created) = 0;
    virtual LONG GetValue(KeyId key, const std::string& name, RegistryValue* value) = 0;
    // Sets a value; one that exists keeps its name and its place in the order.
    virtual LONG PutValue(KeyId key, const RegistryValue& value) = 0;
    virtual LONG RemoveValue(KeyId key, const std::string& name) = 0;
    // Deletes the key at `path` below `base` ("" : `base` itself); it must have no subkeys.
    virtual LONG RemoveKey(KeyId base, const std::string& path) = 0;
    // Direct subkeys by folded name; values in the order they were created.
    virtual LONG ListKeys(KeyId key, std::vector<std::string>* names) = 0;
    virtual LONG ListValues(KeyId key, std::vector<RegistryValue>* values) = 0;
    virtual LONG GetKeyClass(KeyId key, std::string* keyClass) = 0;
    // Makes every earlier write durable.
    virtual LONG Flush(HKEY root) = 0;

    // A batch makes the writes between BeginBatch and CommitBatch land together or not at all;
    // RollbackBatch drops them. One batch at a time: a second BeginBatch is
    // ERROR_INVALID_FUNCTION.
    virtual LONG BeginBatch() = 0;
    virtual LONG CommitBatch() = 0;
    virtual void RollbackBatch() = 0;
    // A key handle was closed: a backend may let go of what it kept for the calls on it.
    virtual void KeyClosed() {}

    // The same by root and path from the root, for tools and tests. A key that is missing (or
    // deleted meanwhile) is ERROR_FILE_NOT_FOUND; another root is ERROR_INVALID_HANDLE.
    LONG OpenKey(HKEY root, const std::string& path, REGSAM access);
    LONG CreateKey(HKEY root, const std::string& path, const std::string& keyClass, bool* created);
    LONG QueryValue(HKEY root, const std::string& path, const std::string& name,
                    RegistryValue* value);
    LONG SetValue(HKEY root, const std::string& path, const RegistryValue& value);
    LONG DeleteValue(HKEY root, const std::string& path, const std::string& name);
    LONG DeleteKey(HKEY root, const std::string& path);
    LONG EnumKeys(HKEY root, const std::string& path, std::vector<std::string>* names);
    LONG EnumValues(HKEY root, const std::string& path, std::vector<RegistryValue>* values);
    LONG QueryKeyClass(HKEY root, const std::string& path, std::string* keyClass);
};

// Installs the backend behind the registry functions (not owned; null uninstalls). Keys opened
// before a change of backend are stale afterwards (ERROR_INVALID_HANDLE). With no backend
// installed every call but RegCloseKey fails with ERROR_BADDB. The backend is called under one
// lock, so the registry functions may be used from any thread.
void InstallRegistry(RegistryBackend* backend);
RegistryBackend* InstalledRegistry();

// The name of a predefined root ("HKEY_LOCAL_MACHINE", ...), or "" for another handle.
std::string RootKeyName(HKEY root);
// The root of a name such as "HKEY_CURRENT_USER" or "HKCU" (ASCII case ignored), or null.
HKEY RootKeyFromName(const std::string& name);

} // namespace platform
