// The browser configurator: switches one browser to the local proxy and to Java while the
// client runs, and puts the user's values back afterwards.
#pragma once

#include "platform/registry.h"

#include <string>

class CBrowserSettings {
  public:
    // The machine-wide copy of the browser values found before the first change.
    static constexpr const char* RESTORE_KEY = "SOFTWARE\\Ostrel Technologies\\Skyvane\\Restore";
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

    // Creates the Restore key with its class, or opens it when present; the outcome is not
    // looked at (a failure shows up as failed record writes).
    void CreateRestoreKey();

  protected:
    // True when no record set exists yet: "key1" is missing or empty.
    static bool IsRestoreKeyEmpty();
    // Writes keyN, typeN and valueN, in this order.
    static void WriteRestoreRecord(int nRecord, const std::string& strKey,
                                   const std::string& strType, const std::string& strValue);
    // A number as the records keep it: signed decimal, so 4294967295 becomes "-1".
    static std::string FormatRecordNumber(DWORD dwValue);
    // Like ReadRegString, but a text too long for its 1024-byte buffer is read whole instead of
    // coming back empty, so that no user setting is lost on the way through.
    static std::string ReadRegStringWhole(HKEY hRoot, const std::string& strSubKey,
                                          const std::string& strValueName);
    // Makes the records durable before the browser's values are overwritten.
    static void FlushRestoreKey();
};
