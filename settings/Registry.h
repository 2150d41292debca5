// Reading and writing single registry values. Every call names its key completely, opens it,
// does one thing and closes it again. Failures are never reported to the caller: reads give ""
// or 0, writes are dropped, and the only trace is a diagnostic on standard output. Keys are
// never created here; the installation makes them.
#pragma once

#include "platform/registry.h"

#include <string>

// The value as text, up to its first NUL; "" on any failure.
std::string ReadRegString(HKEY hKey, std::string strSubKey, std::string strValueName);
// The first four bytes of the value, little-endian, whatever its type; 0 on any failure.
DWORD ReadRegDword(HKEY hKey, std::string strSubKey, std::string strValueName);
// Stores the text as REG_SZ with its terminating NUL.
void WriteRegString(HKEY hKey, std::string strSubKey, std::string strValueName,
                    std::string strValue);
void WriteRegDword(HKEY hKey, std::string strSubKey, std::string strValueName, DWORD dwValue);
// Stores the number's four bytes as REG_BINARY.
void WriteRegBinary(HKEY hKey, std::string strSubKey, std::string strValueName, DWORD dwValue);

// Fills the shared 1024-byte read buffer with the value's data (cleared on failure). Not
// reentrant: the two reads share the buffer, so they belong to one thread.
void QueryRegValue(HKEY hKey, std::string strSubKey, std::string strValueName);
// Sets a value of an existing key.
void SetRegValue(HKEY hKey, std::string strSubKey, std::string strValueName, const BYTE* pData,
                 DWORD dwType, DWORD dwSize);
