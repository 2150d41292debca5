// The registry service: the subset of the Windows registry API that the launcher and its tools
// call, forwarded to the backend installed with InstallRegistry.
//
// Keys live below three roots. Key and value names compare without regard to ASCII case and
// keep the case they were created with. Errors are Windows error codes: ERROR_FILE_NOT_FOUND
// (2) for a missing key or value, ERROR_ACCESS_DENIED (5), ERROR_MORE_DATA (234) for a buffer
// that is too small, ERROR_BADDB (1009) for a store that cannot be read.
#pragma once

#include "platform/windef.h"

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

namespace platform {

// One named value as a backend stores it.
struct RegistryValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// A store behind the registry functions. Keys are named by root and backslash-separated path
// ("" is the root itself); every call reports a Windows error code.
class RegistryBackend {
  public:
    virtual ~RegistryBackend() = default;

    // Checks that a key exists and may be opened with the access asked for.
    virtual LONG OpenKey(HKEY root, const std::string& path, REGSAM access) = 0;
    // Creates the key and any missing parents; *created tells whether the key is new.
    virtual LONG CreateKey(HKEY root, const std::string& path, const std::string& keyClass,
                           bool* created) = 0;
    virtual LONG QueryValue(HKEY root, const std::string& path, const std::string& name,
                            RegistryValue* value) = 0;
    virtual LONG SetValue(HKEY root, const std::string& path, const RegistryValue& value) = 0;
    virtual LONG DeleteValue(HKEY root, const std::string& path, const std::string& name) = 0;
    virtual LONG DeleteKey(HKEY root, const std::string& path) = 0;
    // Direct subkey names and values, in a stable order (by case-folded name).
    virtual LONG EnumKeys(HKEY root, const std::string& path, std::vector<std::string>* names) = 0;
    virtual LONG EnumValues(HKEY root, const std::string& path,
                            std::vector<RegistryValue>* values) = 0;
    virtual LONG QueryKeyClass(HKEY root, const std::string& path, std::string* keyClass) = 0;
    // Makes every earlier write durable.
    virtual LONG Flush(HKEY root) = 0;
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
