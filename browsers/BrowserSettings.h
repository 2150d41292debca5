// The browser configurator: switches one browser to the local proxy and to Java while the
// client runs, and puts the user's values back afterwards.
#pragma once

#include "platform/registry.h"
#include "settings/KeyNames.h"

#include <string>
#include <vector>

template <class T> struct SettingRow; // browsers/SettingTable.h

class CBrowserSettings {
  public:
    // The machine-wide copy of the browser values found before the first change.
    static constexpr const char* RESTORE_KEY = SKYVANE_RESTORE_KEY;
    static constexpr const char* RESTORE_KEY_CLASS = "Application Global Data";

    CBrowserSettings() = default;
    CBrowserSettings(const CBrowserSettings&) = delete;
    CBrowserSettings& operator=(const CBrowserSettings&) = delete;

    // Declared ahead of the destructor so that the four operations keep slots 1 to 4.
    virtual std::string GetBrowserPath() = 0;
    virtual std::string GetBookmarksPath() = 0;
    virtual void ApplySettings() = 0;
    virtual void RestoreSettings() = 0;
    virtual ~CBrowserSettings();

    // Creates the Restore key with its class, or opens it when present, within the current
    // registry transaction if there is one; the outcome is not looked at (a failure shows up as
    // failed record writes).
    void CreateRestoreKey();

  protected:
    // One restore record: keyN, typeN, valueN.
    struct RestoreRecord {
        std::string strKey;
        std::string strType;
        std::string strValue;
    };

    // The save-once protocol over a configurator's table: reads every setting into its member,
    // records them in the Restore key when no record set exists yet, writes the product's
    // values and flushes HKEY_CURRENT_USER.
    template <class T>
    static void ApplySettingTable(T& self, const std::vector<SettingRow<T>>& table);
    // Writes every remembered value back, in table order, with the table's type. No flush; the
    // Restore key is not touched.
    template <class T>
    static void RestoreSettingTable(T& self, const std::vector<SettingRow<T>>& table);

    // True when no record set exists yet: "key1" is missing or empty.
    static bool IsRestoreKeyEmpty();
    // Creates the Restore key and writes the records 1 to N (keyN, typeN and valueN, in this
    // order) in one registry transaction, and makes them durable: all of them or none. Where the
    // system has no registry transactions, WriteRestoreRecordsInOrder stands in.
    void WriteRestoreRecords(const std::vector<RestoreRecord>& records);
    // The same without a transaction, safe against a kill at any point: every field but "key1"
    // first, made durable, then "key1", made durable. Until "key1" is stored the set counts as
    // absent, and the next run writes it again over whatever a cut-short run left; a record
    // beyond N left by such a run is dropped so that the set ends at N.
    void WriteRestoreRecordsInOrder(const std::vector<RestoreRecord>& records);
    // A number as the records keep it: signed decimal, so 4294967295 becomes "-1".
    static std::string FormatRecordNumber(DWORD dwValue);
    // Like ReadRegString, but a text too long for its 1024-byte buffer is read whole instead of
    // coming back empty, so that no user setting is lost on the way through.
    static std::string ReadRegStringWhole(HKEY hRoot, const std::string& strSubKey,
                                          const std::string& strValueName);
};
