// A configurator's settings as one table: each row says where a browser value lives, how it is
// read, written and recorded, which member remembers it and what the product sets it to.
// ApplySettings and RestoreSettings of both browsers run over their table in its order.
#pragma once

#include "browsers/BrowserSettings.h"
#include "settings/Registry.h"

#include <string>
#include <vector>

// How a setting is written: a text with WriteRegString, a number with WriteRegDword, or a
// number as a 4-byte block with WriteRegBinary. Text is recorded as "str", numbers as "int".
enum class SettingType { Text, Dword, Binary };

template <class T> struct SettingRow {
    const char* pszSubKey; // below HKEY_CURRENT_USER
    const char* pszValueName;
    SettingType type;
    std::string T::*pstrRemembered; // a text setting's member
    DWORD T::*pdwRemembered;        // a number setting's member
    // The product's value: a fixed text, a text made from the value found, or a number.
    const char* pszNewText;
    std::string (*pfnNewText)(const std::string& strFound);
    DWORD dwNewNumber;

    std::string RecordKey() const {
        return std::string("HKEY_CURRENT_USER\\") + pszSubKey + "\\" + pszValueName;
    }
};

// A text setting set to a fixed text.
template <class T>
SettingRow<T> TextSetting(const char* pszSubKey, const char* pszValueName,
                          std::string T::*pstrRemembered, const char* pszNewText) {
    return {pszSubKey, pszValueName, SettingType::Text, pstrRemembered,
            nullptr,   pszNewText,   nullptr,           0};
}

// A text setting whose new value is made from the value found.
template <class T>
SettingRow<T> TextSetting(const char* pszSubKey, const char* pszValueName,
                          std::string T::*pstrRemembered,
                          std::string (*pfnNewText)(const std::string&)) {
    return {pszSubKey, pszValueName, SettingType::Text, pstrRemembered,
            nullptr,   nullptr,      pfnNewText,        0};
}

// A number setting, written as REG_DWORD or as a 4-byte REG_BINARY.
template <class T>
SettingRow<T> NumberSetting(const char* pszSubKey, const char* pszValueName, SettingType type,
                            DWORD T::*pdwRemembered, DWORD dwNewNumber) {
    return {pszSubKey, pszValueName, type, nullptr, pdwRemembered, nullptr, nullptr, dwNewNumber};
}

template <class T>
void CBrowserSettings::ApplySettingTable(T& self, const std::vector<SettingRow<T>>& table) {
    for (const SettingRow<T>& row : table) {
        if (row.type == SettingType::Text) {
            self.*row.pstrRemembered =
                ReadRegStringWhole(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName);
        } else {
            self.*row.pdwRemembered =
                ReadRegDword(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName);
        }
    }

    if (IsRestoreKeyEmpty()) {
        std::vector<RestoreRecord> records;
        for (const SettingRow<T>& row : table) {
            if (row.type == SettingType::Text) {
                records.push_back({row.RecordKey(), "str", self.*row.pstrRemembered});
            } else {
                records.push_back(
                    {row.RecordKey(), "int", FormatRecordNumber(self.*row.pdwRemembered)});
            }
        }
        self.WriteRestoreRecords(records);
    }

    for (const SettingRow<T>& row : table) {
        switch (row.type) {
        case SettingType::Text:
            WriteRegString(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName,
                           row.pfnNewText != nullptr ? row.pfnNewText(self.*row.pstrRemembered)
                                                     : std::string(row.pszNewText));
            break;
        case SettingType::Dword:
            WriteRegDword(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName, row.dwNewNumber);
            break;
        case SettingType::Binary:
            WriteRegBinary(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName, row.dwNewNumber);
            break;
        }
    }

    RegFlushKey(HKEY_CURRENT_USER);
}

template <class T>
void CBrowserSettings::RestoreSettingTable(T& self, const std::vector<SettingRow<T>>& table) {
    for (const SettingRow<T>& row : table) {
        switch (row.type) {
        case SettingType::Text:
            WriteRegString(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName,
                           self.*row.pstrRemembered);
            break;
        case SettingType::Dword:
            WriteRegDword(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName,
                          self.*row.pdwRemembered);
            break;
        case SettingType::Binary:
            WriteRegBinary(HKEY_CURRENT_USER, row.pszSubKey, row.pszValueName,
                           self.*row.pdwRemembered);
            break;
        }
    }
}

// The keyN texts of a table, in record order.
template <class T>
std::vector<std::string> TableRecordKeys(const std::vector<SettingRow<T>>& table) {
    std::vector<std::string> keys;
    for (const SettingRow<T>& row : table) {
        keys.push_back(row.RecordKey());
    }
    return keys;
}

// A configurator whose settings are one table, T::Settings() (T befriends this class):
// ApplySettings, RestoreSettings and the record keys all run over it in its order.
template <class T> class CTableSettings : public CBrowserSettings {
  public:
    void ApplySettings() override { ApplySettingTable(Self(), T::Settings()); }
    void RestoreSettings() override { RestoreSettingTable(Self(), T::Settings()); }

    // The keyN texts of the records this configurator writes, in record order.
    static std::vector<std::string> RecordKeys() { return TableRecordKeys(T::Settings()); }

  private:
    T& Self() { return static_cast<T&>(*this); }
};
