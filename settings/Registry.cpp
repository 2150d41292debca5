#include "settings/Registry.h"

#include "platform/process.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

constexpr DWORD kReadBufferSize = 1024;

BYTE g_readBuffer[kReadBufferSize];
// The transaction the operations of this thread work in, if any.
thread_local CRegTransaction* t_pTransaction = nullptr;
// How many bytes of the buffer the last successful query filled; data shorter than the buffer
// must not pick up bytes of an earlier value.
DWORD g_dwReadSize = 0;
thread_local unsigned long t_nWriteFailures = 0;

// Diagnostics run on without a line break and are flushed at once, so they are seen even when
// the program is stopped later.
void PrintError(const char* format, LONG code) {
    std::printf(format, static_cast<int>(code));
    std::fflush(stdout);
}

void ClearReadBuffer() {
    g_readBuffer[0] = 0;
    g_dwReadSize = 0;
}

LONG OpenKey(HKEY hKey, const std::string& strSubKey, REGSAM samDesired, HKEY* phOpened) {
    const HANDLE hTransaction = CRegTransaction::Current();
    if (hTransaction != nullptr) {
        const LONG rc = RegOpenKeyTransactedA(hKey, strSubKey.c_str(), 0, samDesired, phOpened,
                                              hTransaction, nullptr);
        CRegTransaction::NoteTransactedResult(rc);
        return rc;
    }
    return RegOpenKeyExA(hKey, strSubKey.c_str(), 0, samDesired, phOpened);
}

} // namespace

void QueryRegValue(HKEY hKey, std::string strSubKey, std::string strValueName) {
    HKEY hOpened = nullptr;
    LONG rc = OpenKey(hKey, strSubKey, KEY_READ, &hOpened);
    if (rc != ERROR_SUCCESS) {
        PrintError("Error: RegOpenKeyEx = %d", rc);
        ClearReadBuffer();
        return;
    }
    DWORD dwSize = kReadBufferSize;
    rc = RegQueryValueExA(hOpened, strValueName.c_str(), nullptr, nullptr, g_readBuffer, &dwSize);
    if (rc != ERROR_SUCCESS) {
        PrintError("Error: RegQueryValueEx = %d", rc);
        ClearReadBuffer();
    } else {
        g_dwReadSize = dwSize;
    }
    RegCloseKey(hOpened);
}

std::string ReadRegString(HKEY hKey, std::string strSubKey, std::string strValueName) {
    QueryRegValue(hKey, std::move(strSubKey), std::move(strValueName));
    // Up to the first NUL, and never past the data: a full buffer need not hold one.
    const char* text = reinterpret_cast<const char*>(g_readBuffer);
    const void* nul = std::memchr(text, 0, g_dwReadSize);
    size_t length = nul != nullptr ? static_cast<const char*>(nul) - text : g_dwReadSize;
    return std::string(text, length);
}

DWORD ReadRegDword(HKEY hKey, std::string strSubKey, std::string strValueName) {
    QueryRegValue(hKey, std::move(strSubKey), std::move(strValueName));
    DWORD dwValue = 0;
    for (DWORD i = 0; i < 4 && i < g_dwReadSize; ++i) {
        dwValue |= static_cast<DWORD>(g_readBuffer[i]) << (8 * i);
    }
    return dwValue;
}

void SetRegValue(HKEY hKey, std::string strSubKey, std::string strValueName, const BYTE* pData,
                 DWORD dwType, DWORD dwSize) {
    HKEY hOpened = nullptr;
    LONG rc = OpenKey(hKey, strSubKey, KEY_WRITE, &hOpened);
    if (rc != ERROR_SUCCESS) {
        PrintError("Error: RegOpenKeyEx = %d", rc);
        ++t_nWriteFailures;
        CRegTransaction::NoteFailedWrite();
        return;
    }
    rc = RegSetValueExA(hOpened, strValueName.c_str(), 0, dwType, pData, dwSize);
    if (rc != ERROR_SUCCESS) {
        PrintError("Error: RegSetValueEx = %d", rc);
        ++t_nWriteFailures;
        CRegTransaction::NoteFailedWrite();
    }
    RegCloseKey(hOpened);
}

unsigned long RegWriteFailureCount() {
    return t_nWriteFailures;
}

void WriteRegString(HKEY hKey, std::string strSubKey, std::string strValueName,
                    std::string strValue) {
    SetRegValue(hKey, std::move(strSubKey), std::move(strValueName),
                reinterpret_cast<const BYTE*>(strValue.c_str()), REG_SZ,
                static_cast<DWORD>(strValue.size() + 1));
}

void WriteRegDword(HKEY hKey, std::string strSubKey, std::string strValueName, DWORD dwValue) {
    BYTE bytes[4];
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<BYTE>(dwValue >> (8 * i));
    }
    SetRegValue(hKey, std::move(strSubKey), std::move(strValueName), bytes, REG_DWORD, 4);
}

void WriteRegBinary(HKEY hKey, std::string strSubKey, std::string strValueName, DWORD dwValue) {
    BYTE block[4];
    for (int i = 0; i < 4; ++i) {
        block[i] = static_cast<BYTE>(dwValue >> (8 * i));
    }
    SetRegValue(hKey, std::move(strSubKey), std::move(strValueName), block, REG_BINARY, 4);
}

CRegTransaction::CRegTransaction() {
    HANDLE hTransaction = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
    if (hTransaction == INVALID_HANDLE_VALUE || hTransaction == nullptr) {
        const LONG lError = static_cast<LONG>(GetLastError());
        PrintError("Error: CreateTransaction = %d", lError);
        m_bUnsupported = lError == ERROR_CALL_NOT_IMPLEMENTED;
        return;
    }
    m_hTransaction = hTransaction;
    m_pOuter = t_pTransaction;
    t_pTransaction = this;
}

CRegTransaction::~CRegTransaction() {
    if (IsActive()) {
        RollbackTransaction(m_hTransaction);
        End();
    }
}

BOOL CRegTransaction::Commit() {
    if (!IsActive()) {
        return FALSE;
    }
    if (m_bWriteFailed) {
        RollbackTransaction(m_hTransaction);
        End();
        return FALSE;
    }
    const BOOL bCommitted = CommitTransaction(m_hTransaction);
    if (!bCommitted) {
        PrintError("Error: CommitTransaction = %d", static_cast<LONG>(GetLastError()));
    }
    End();
    return bCommitted;
}

HANDLE CRegTransaction::Current() {
    return t_pTransaction != nullptr ? t_pTransaction->m_hTransaction : nullptr;
}

void CRegTransaction::NoteFailedWrite() {
    if (t_pTransaction != nullptr) {
        t_pTransaction->m_bWriteFailed = true;
    }
}

void CRegTransaction::NoteTransactedResult(LONG lResult) {
    if (t_pTransaction != nullptr && lResult == ERROR_CALL_NOT_IMPLEMENTED) {
        t_pTransaction->m_bUnsupported = true;
    }
}

void CRegTransaction::End() {
    CloseHandle(m_hTransaction);
    m_hTransaction = nullptr;
    if (t_pTransaction == this) {
        t_pTransaction = m_pOuter;
    }
}
