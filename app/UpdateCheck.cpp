// CLauncherApp::CheckForUpdate: every ten days, offer to run the Java updater and act on its
// exit code.
#include "app/LauncherApp.h"
#include "settings/KeyNames.h"

#include "settings/Registry.h"

#include "platform/clock.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const kProductKey = SKYVANE_PRODUCT_KEY;
const char kLastUpdate[] = "Last Update";
const char kUpdaterClass[] = "Ostrel.Server.updater.ZARuzivuz";
const char kUpdateQuestion[] =
    "Updates of Sky.Vane may now be available. Would you like me to make sure you have the most "
    "recent version of Sky.Vane?";
const char kRestartMessage[] = "Ostrel Sky.Vane must now restart to finish updating.";

// Updater exit codes: done, and done but the product must restart.
constexpr DWORD kUpdateDone = 0;
constexpr DWORD kUpdateNeedsRestart = 2;

constexpr LONG kDaysBetweenChecks = 10;
// A check that was never recorded counts as one this long ago, so it is due.
constexpr LONG kDaysSinceMissingCheck = 11;

// One decimal integer as "%d" reads it (blanks skipped, optional sign), but a number that does
// not fit an int is refused instead of being undefined.
bool ReadInt(const char** text, int* value) {
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(*text, &end, 10);
    if (end == *text || errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    *value = static_cast<int>(number);
    *text = end;
    return true;
}

// Local midnight of the date recorded as "year month day", converted as the local-time
// conversion does: fields beyond their range carry over, so "1996 13 40" is 9 February 1997
// and "1996 2 30" is 1 March 1996. False when the text does not begin with three integers
// (or holds one beyond an int): such a text counts as no record at all.
bool ReadLastCheck(const std::string& text, CTime* midnight) {
    const char* cursor = text.c_str();
    int year = 0;
    int month = 0;
    int day = 0;
    if (!ReadInt(&cursor, &year) || !ReadInt(&cursor, &month) || !ReadInt(&cursor, &day)) {
        return false;
    }
    CTime date(year, month, day, 0, 0, 0, -1);
    if (date.GetTime() == -1) {
        return false; // beyond what the local-time conversion can represent
    }
    *midnight = date;
    return true;
}

std::string FormatDate(const CTime& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%d %d %d", time.GetYear(), time.GetMonth(), time.GetDay());
    return text;
}

} // namespace

BOOL CLauncherApp::CheckForUpdate() {
    const CTime now = CTime::GetCurrentTime();
    const std::string recorded = ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, kLastUpdate);

    CTime lastCheck;
    if (!ReadLastCheck(recorded, &lastCheck)) {
        lastCheck = now - CTimeSpan(kDaysSinceMissingCheck, 0, 0, 0);
    }
    // Whole days, truncated toward zero: a date in the future gives a negative count.
    if ((now - lastCheck).GetDays() < kDaysBetweenChecks) {
        return TRUE;
    }

    DWORD updaterResult = kUpdateDone;
    const int answer = AfxMessageBox(kUpdateQuestion, MB_YESNO | MB_SYSTEMMODAL);
    if (answer == IDYES) {
        updaterResult = RunProgram(m_strJavaCommand + kUpdaterClass, INFINITE);
        if (updaterResult != kUpdateDone && updaterResult != kUpdateNeedsRestart) {
            // Not completed: leave the record alone so that the question comes again.
            return TRUE;
        }
    } else if (answer != IDNO) {
        // The question could not be shown, so nobody settled it: ask again next time.
        return TRUE;
    }

    // The date of this start, not of the updater's end.
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, kLastUpdate, FormatDate(now));

    if (updaterResult == kUpdateNeedsRestart) {
        AfxMessageBox(kRestartMessage, MB_OK | MB_SYSTEMMODAL);
        return FALSE;
    }
    return TRUE;
}
