#include "browsers/BrowserSettings.h"

#include "settings/Registry.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The read buffer of ReadRegString; anything larger needs the whole-value read.
constexpr DWORD READ_BUFFER_SIZE = 1024;
// A value that keeps growing between the size query and the read is given up after this.
constexpr int WHOLE_READ_ATTEMPTS = 3;

std::string TextUpToNul(const std::vector<BYTE>& data) {
    std::string strText(data.begin(), data.end());
    const std::string::size_type nNul = strText.find('\0');
    if (nNul != std::string::npos) {
        strText.resize(nNul);
    }
    return strText;
}

// Removes "key<N+1>" of the Restore key, within the current registry transaction if there is
// one. A missing key or value is fine; anything else counts as a failed write.
bool DropRecordAfter(size_t nRecords) {
    const std::string strName = "key" + std::to_string(nRecords + 1);
    const HANDLE hTransaction = CRegTransaction::Current();
    HKEY hKey = nullptr;
    LONG lResult =
        hTransaction != nullptr
            ? RegOpenKeyTransactedA(HKEY_LOCAL_MACHINE, CBrowserSettings::RESTORE_KEY, 0, KEY_WRITE,
                                    &hKey, hTransaction, nullptr)
            : RegOpenKeyExA(HKEY_LOCAL_MACHINE, CBrowserSettings::RESTORE_KEY, 0, KEY_WRITE, &hKey);
    if (lResult == ERROR_SUCCESS) {
        lResult = RegDeleteValueA(hKey, strName.c_str());
        RegCloseKey(hKey);
    }
    if (lResult == ERROR_SUCCESS || lResult == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    std::printf("Error: RegDeleteValue = %d", static_cast<int>(lResult));
    std::fflush(stdout);
    CRegTransaction::NoteFailedWrite();
    return false;
}

} // namespace

CBrowserSettings::~CBrowserSettings() = default;

void CBrowserSettings::CreateRestoreKey() {
    SECURITY_ATTRIBUTES sa = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    std::string strClass = RESTORE_KEY_CLASS;
    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    // Within the transaction of the records, when they are written in one.
    const HANDLE hTransaction = CRegTransaction::Current();
    LONG lResult =
        hTransaction != nullptr
            ? RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, RESTORE_KEY, 0, strClass.data(),
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &sa, &hKey,
                                      &dwDisposition, hTransaction, nullptr)
            : RegCreateKeyExA(HKEY_LOCAL_MACHINE, RESTORE_KEY, 0, strClass.data(),
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &sa, &hKey, &dwDisposition);
    if (hTransaction != nullptr) {
        CRegTransaction::NoteTransactedResult(lResult);
    }
    if (lResult == ERROR_SUCCESS) {
        RegCloseKey(hKey);
    }
}

bool CBrowserSettings::IsRestoreKeyEmpty() {
    return ReadRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "key1").empty();
}

void CBrowserSettings::WriteRestoreRecords(const std::vector<RestoreRecord>& records) {
    // The whole set or nothing: only "key1" is ever looked at, so a set cut short (by a kill, or
    // by one failed write) would never be completed and could not be put back. When no
    // transaction can be had, or it is not stored, nothing is recorded in this run and the next
    // run tries again, as after a failed key creation; the browser is still switched, and this
    // run puts the values it found back at its end.
    {
        CRegTransaction transaction;
        if (transaction.IsActive()) {
            // The first transacted call tells whether the system has them at all.
            CreateRestoreKey();
        }
        if (!transaction.IsUnsupported()) {
            if (!transaction.IsActive()) {
                return;
            }
            for (size_t n = 0; n < records.size(); ++n) {
                const std::string strNumber = std::to_string(n + 1);
                WriteRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "key" + strNumber,
                               records[n].strKey);
                WriteRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "type" + strNumber,
                               records[n].strType);
                WriteRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "value" + strNumber,
                               records[n].strValue);
            }
            DropRecordAfter(records.size());
            if (transaction.Commit()) {
                RegFlushKey(HKEY_LOCAL_MACHINE);
            }
            return;
        }
    } // the transaction, which holds no write, ends here: the writes below are direct
    WriteRestoreRecordsInOrder(records);
}

void CBrowserSettings::WriteRestoreRecordsInOrder(const std::vector<RestoreRecord>& records) {
    if (records.empty()) {
        return;
    }
    const unsigned long nFailuresBefore = RegWriteFailureCount();
    CreateRestoreKey();
    for (size_t n = 0; n < records.size(); ++n) {
        const std::string strNumber = std::to_string(n + 1);
        if (n > 0) {
            WriteRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "key" + strNumber, records[n].strKey);
        }
        WriteRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "type" + strNumber, records[n].strType);
        WriteRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "value" + strNumber, records[n].strValue);
    }
    const bool bDropped = DropRecordAfter(records.size());
    RegFlushKey(HKEY_LOCAL_MACHINE);
    if (!bDropped || RegWriteFailureCount() != nFailuresBefore) {
        return; // not marked as present: the next run writes the set again
    }
    WriteRegString(HKEY_LOCAL_MACHINE, RESTORE_KEY, "key1", records.front().strKey);
    RegFlushKey(HKEY_LOCAL_MACHINE);
}

std::string CBrowserSettings::FormatRecordNumber(DWORD dwValue) {
    return std::to_string(static_cast<LONG>(dwValue));
}

std::string CBrowserSettings::ReadRegStringWhole(HKEY hRoot, const std::string& strSubKey,
                                                 const std::string& strValueName) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strSubKey.c_str(), 0, KEY_READ, &hKey) == ERROR_SUCCESS) {
        std::vector<BYTE> data;
        for (int nAttempt = 0; nAttempt < WHOLE_READ_ATTEMPTS; ++nAttempt) {
            DWORD cbData = 0;
            if (RegQueryValueExA(hKey, strValueName.c_str(), nullptr, nullptr, nullptr, &cbData) !=
                    ERROR_SUCCESS ||
                cbData <= READ_BUFFER_SIZE) {
                break;
            }
            data.resize(cbData);
            const LONG lResult = RegQueryValueExA(hKey, strValueName.c_str(), nullptr, nullptr,
                                                  data.data(), &cbData);
            if (lResult == ERROR_SUCCESS) {
                RegCloseKey(hKey);
                data.resize(cbData);
                return TextUpToNul(data);
            }
            if (lResult != ERROR_MORE_DATA) {
                break;
            }
        }
        RegCloseKey(hKey);
    }
    // Short, missing or unreadable values take the ordinary path with its diagnostics.
    return ReadRegString(hRoot, strSubKey, strValueName);
}
