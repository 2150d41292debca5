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
// How many writes of the calling thread have failed so far. Two readings that agree tell that
// every write between them reached the store.
unsigned long RegWriteFailureCount();

// One registry transaction for the operations above. While an object lives, the operations on
// its thread open their keys within it: their writes are seen by no other handle or process and
// reach the store only with Commit, all at once. Destroying it uncommitted drops them.
class CRegTransaction {
  public:
    // Starts the transaction; IsActive tells whether that worked (a diagnostic says why not).
    CRegTransaction();
    ~CRegTransaction();
    CRegTransaction(const CRegTransaction&) = delete;
    CRegTransaction& operator=(const CRegTransaction&) = delete;

    bool IsActive() const { return m_hTransaction != nullptr; }
    // True when the system has no registry transactions: CreateTransaction, or a transacted
    // call made under this object, answered ERROR_CALL_NOT_IMPLEMENTED. No further transacted
    // call should then be made (some systems export them only as stubs that end the program).
    bool IsUnsupported() const { return m_bUnsupported; }
    // Stores every write made under it, or nothing: FALSE when the transaction is not active,
    // when one of its writes failed (that write printed its diagnostic) or when the store
    // refused the commit. The operations are direct again afterwards.
    BOOL Commit();

    // The transaction of the calling thread's operations, or null.
    static HANDLE Current();
    // Marks the current transaction (if any) as one whose writes must not be stored.
    static void NoteFailedWrite();
    // Hands the current transaction (if any) the result of a transacted call made under it.
    static void NoteTransactedResult(LONG lResult);

  private:
    void End();

    HANDLE m_hTransaction = nullptr;
    bool m_bWriteFailed = false;
    bool m_bUnsupported = false;
    CRegTransaction* m_pOuter = nullptr;
};
