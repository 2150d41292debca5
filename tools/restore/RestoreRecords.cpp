#include "RestoreRecords.h"
#include "platform/ascii.h"

#include "browsers/BrowserSettings.h"
#include "browsers/ExplorerSettings.h"
#include "browsers/NetscapeSettings.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace restore {

namespace {

// Reads a whole REG_SZ value of an open key. ERROR_FILE_NOT_FOUND when it is missing,
// ERROR_BAD_FORMAT when it is not text.
LONG ReadText(HKEY hKey, const std::string& strName, std::string* pstrText) {
    // A value that grows between the size query and the read is asked for again.
    for (int nAttempt = 0; nAttempt < 3; ++nAttempt) {
        DWORD dwType = REG_NONE;
        DWORD cbData = 0;
        LONG lResult = RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType, nullptr, &cbData);
        if (lResult != ERROR_SUCCESS) {
            return lResult;
        }
        if (dwType != REG_SZ) {
            return ERROR_BAD_FORMAT;
        }
        std::vector<BYTE> data(cbData);
        lResult = RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType, data.data(), &cbData);
        if (lResult == ERROR_MORE_DATA) {
            continue;
        }
        if (lResult != ERROR_SUCCESS) {
            return lResult;
        }
        data.resize(cbData);
        std::string strText(data.begin(), data.end());
        const std::string::size_type nNul = strText.find('\0');
        if (nNul != std::string::npos) {
            strText.resize(nNul);
        }
        *pstrText = strText;
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

std::string RestoreKeyName() {
    return std::string("HKEY_LOCAL_MACHINE\\") + CBrowserSettings::RESTORE_KEY;
}

std::string Quote(const std::string& strText) {
    std::string strQuoted = "\"";
    for (const char ch : strText) {
        const auto uch = static_cast<unsigned char>(ch);
        if (ch == '"') {
            strQuoted += "\\\"";
        } else if (uch < 0x20 || uch == 0x7F) {
            char szHex[8];
            std::snprintf(szHex, sizeof(szHex), "\\x%02X", uch);
            strQuoted += szHex;
        } else {
            strQuoted += ch;
        }
    }
    return strQuoted + "\"";
}

bool EqualNoCase(const std::string& strA, const std::string& strB) {
    return platform::EqualsAsciiNoCase(strA, strB);
}

// The tool reads the Restore key and must never write into it.
bool IsRestoreKeyOrBelow(HKEY hRoot, const std::string& strSubKey) {
    const std::string strRestore = CBrowserSettings::RESTORE_KEY;
    if (hRoot != HKEY_LOCAL_MACHINE || strSubKey.size() < strRestore.size()) {
        return false;
    }
    return EqualNoCase(strSubKey.substr(0, strRestore.size()), strRestore) &&
           (strSubKey.size() == strRestore.size() || strSubKey[strRestore.size()] == '\\');
}

// Splits "ROOT\sub\key\name" into its parts; false with the reason when it is not a location.
bool ParseLocation(const std::string& strKey, RestoreTarget* pTarget, std::string* pstrError) {
    const std::string::size_type nFirst = strKey.find('\\');
    const std::string::size_type nLast = strKey.rfind('\\');
    if (nFirst == std::string::npos || nFirst == nLast) {
        *pstrError = "is not ROOT\\subkey\\value name";
        return false;
    }
    const std::string strRoot = strKey.substr(0, nFirst);
    const HKEY hRoot = platform::RootKeyFromName(strRoot);
    if (hRoot == nullptr) {
        *pstrError = "names an unknown root " + Quote(strRoot);
        return false;
    }
    const std::string strSubKey = strKey.substr(nFirst + 1, nLast - nFirst - 1);
    if (strSubKey.empty() || strSubKey.front() == '\\' || strSubKey.back() == '\\' ||
        strSubKey.find("\\\\") != std::string::npos) {
        *pstrError = "has an empty subkey name in its path";
        return false;
    }
    if (IsRestoreKeyOrBelow(hRoot, strSubKey)) {
        *pstrError = "points into the Restore key itself";
        return false;
    }
    pTarget->hRoot = hRoot;
    pTarget->strSubKey = strSubKey;
    pTarget->strValueName = strKey.substr(nLast + 1);
    return true;
}

std::string TypeName(DWORD dwType) {
    switch (dwType) {
    case REG_SZ:
        return "REG_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    default:
        return "type " + std::to_string(dwType);
    }
}

} // namespace

ReadOutcome ReadRecords(std::vector<RawRecord>* pRecords, std::string* pstrError) {
    pRecords->clear();
    HKEY hKey = nullptr;
    LONG lResult =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, CBrowserSettings::RESTORE_KEY, 0, KEY_READ, &hKey);
    if (lResult == ERROR_FILE_NOT_FOUND) {
        return ReadOutcome::Empty;
    }
    if (lResult != ERROR_SUCCESS) {
        *pstrError = "cannot open " + RestoreKeyName() + " (error " + std::to_string(lResult) + ")";
        return ReadOutcome::StoreError;
    }

    ReadOutcome outcome = ReadOutcome::Records;
    for (int nIndex = 1;; ++nIndex) {
        const std::string strNumber = std::to_string(nIndex);
        RawRecord record;
        record.nIndex = nIndex;
        lResult = ReadText(hKey, "key" + strNumber, &record.strKey);
        if (lResult == ERROR_FILE_NOT_FOUND) {
            break;
        }
        // Only "key1" tells whether a record set exists at all.
        if (nIndex == 1 && lResult == ERROR_SUCCESS && record.strKey.empty()) {
            break;
        }
        const std::pair<std::string, std::string*> fields[] = {
            {"key" + strNumber, nullptr},
            {"type" + strNumber, &record.strType},
            {"value" + strNumber, &record.strValue},
        };
        for (const auto& [strName, pstrField] : fields) {
            if (pstrField != nullptr && lResult == ERROR_SUCCESS) {
                lResult = ReadText(hKey, strName, pstrField);
            }
            if (lResult == ERROR_SUCCESS) {
                continue;
            }
            if (lResult == ERROR_FILE_NOT_FOUND) {
                // Only typeN or valueN: a missing keyN ended the loop above.
                record.strMissing += (record.strMissing.empty() ? "" : " and ") + strName;
                lResult = ERROR_SUCCESS;
                continue;
            }
            if (lResult == ERROR_BAD_FORMAT) {
                *pstrError = "record " + strNumber + ": " + strName + " is not a text value";
                outcome = ReadOutcome::Malformed;
            } else {
                *pstrError = "cannot read " + strName + " of " + RestoreKeyName() + " (error " +
                             std::to_string(lResult) + ")";
                outcome = ReadOutcome::StoreError;
            }
            break;
        }
        if (lResult != ERROR_SUCCESS) {
            break;
        }
        pRecords->push_back(record);
    }
    RegCloseKey(hKey);

    if (outcome == ReadOutcome::Records && pRecords->empty()) {
        return ReadOutcome::Empty;
    }
    if (outcome != ReadOutcome::Records) {
        pRecords->clear();
    }
    return outcome;
}

std::vector<std::string> MissingRecordKeys(const std::vector<RawRecord>& records) {
    for (const std::vector<std::string>& set :
         {CNetscapeSettings::RecordKeys(), CExplorerSettings::RecordKeys()}) {
        if (records.empty() || records.size() >= set.size()) {
            continue;
        }
        bool bFirstOfSet = true;
        for (size_t n = 0; n < records.size(); ++n) {
            bFirstOfSet = bFirstOfSet && records[n].strKey == set[n];
        }
        if (bFirstOfSet) {
            return std::vector<std::string>(
                set.begin() + static_cast<std::ptrdiff_t>(records.size()), set.end());
        }
    }
    return {};
}

bool ParseRecordNumber(const std::string& strText, DWORD* pdwValue) {
    const bool bNegative = !strText.empty() && strText[0] == '-';
    const std::string strDigits = bNegative ? strText.substr(1) : strText;
    if (strDigits.empty() || strDigits.size() > 10 ||
        strDigits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const long long llValue = std::stoll(strDigits) * (bNegative ? -1 : 1);
    if (llValue < -2147483648LL || llValue > 2147483647LL) {
        return false;
    }
    *pdwValue = static_cast<DWORD>(static_cast<LONG>(llValue));
    return true;
}

bool ParseRecords(const std::vector<RawRecord>& records, std::vector<RestoreTarget>* pTargets,
                  std::string* pstrError) {
    std::vector<RestoreTarget> targets;
    for (const RawRecord& record : records) {
        const std::string strNumber = std::to_string(record.nIndex);
        RestoreTarget target;
        target.nIndex = record.nIndex;
        target.strLocation = record.strKey;
        std::string strWhy;
        if (!ParseLocation(record.strKey, &target, &strWhy)) {
            *pstrError = "record " + strNumber + ": key" + strNumber + " " + Quote(record.strKey) +
                         " " + strWhy;
            return false;
        }
        if (record.strType == "str") {
            target.strText = record.strValue;
        } else if (record.strType == "int") {
            target.bNumber = true;
            if (!ParseRecordNumber(record.strValue, &target.dwNumber)) {
                *pstrError = "record " + strNumber + ": value" + strNumber + " " +
                             Quote(record.strValue) + " is not a signed 32-bit decimal number";
                return false;
            }
        } else {
            *pstrError = "record " + strNumber + ": type" + strNumber + " is " +
                         Quote(record.strType) + ", expected \"str\" or \"int\"";
            return false;
        }
        targets.push_back(target);
    }
    *pTargets = targets;
    return true;
}

WriteResult WriteTarget(const RestoreTarget& target, bool bDryRun) {
    WriteResult result;
    result.dwType = target.bNumber ? REG_DWORD : REG_SZ;

    HKEY hKey = nullptr;
    const REGSAM samDesired = bDryRun ? KEY_READ : (KEY_READ | KEY_WRITE);
    result.lError = RegOpenKeyExA(target.hRoot, target.strSubKey.c_str(), 0, samDesired, &hKey);
    if (result.lError == ERROR_FILE_NOT_FOUND) {
        result.status = WriteStatus::KeyMissing;
        return result;
    }
    if (result.lError != ERROR_SUCCESS) {
        result.status = WriteStatus::Failed;
        return result;
    }

    if (target.bNumber) {
        // Internet Explorer keeps some numbers as 4-byte binaries; such a value keeps its type.
        DWORD dwType = REG_NONE;
        DWORD cbData = 0;
        if (RegQueryValueExA(hKey, target.strValueName.c_str(), nullptr, &dwType, nullptr,
                             &cbData) == ERROR_SUCCESS &&
            dwType == REG_BINARY && cbData == 4) {
            result.dwType = REG_BINARY;
        }
    }

    if (bDryRun) {
        result.status = WriteStatus::Written;
    } else {
        std::vector<BYTE> data;
        if (target.bNumber) {
            for (int nByte = 0; nByte < 4; ++nByte) {
                data.push_back(static_cast<BYTE>((target.dwNumber >> (8 * nByte)) & 0xFF));
            }
        } else {
            data.assign(target.strText.begin(), target.strText.end());
            data.push_back(0);
        }
        result.lError = RegSetValueExA(hKey, target.strValueName.c_str(), 0, result.dwType,
                                       data.data(), static_cast<DWORD>(data.size()));
        result.status = result.lError == ERROR_SUCCESS ? WriteStatus::Written : WriteStatus::Failed;
    }
    RegCloseKey(hKey);
    return result;
}

std::string DescribeTarget(const RestoreTarget& target, DWORD dwType) {
    std::string strValue;
    if (!target.bNumber) {
        strValue = Quote(target.strText);
    } else {
        strValue = std::to_string(static_cast<LONG>(target.dwNumber));
        if (dwType == REG_BINARY) {
            char szBytes[16];
            std::snprintf(szBytes, sizeof(szBytes), " [%02X %02X %02X %02X]",
                          target.dwNumber & 0xFF, (target.dwNumber >> 8) & 0xFF,
                          (target.dwNumber >> 16) & 0xFF, (target.dwNumber >> 24) & 0xFF);
            strValue += szBytes;
        }
    }
    return target.strLocation + " = " + strValue + " (" + TypeName(dwType) + ")";
}

} // namespace restore
