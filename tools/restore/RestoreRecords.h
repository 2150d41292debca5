// The record set of the Restore key, read and checked as a whole before anything is written
// back, and the writes that put each recorded browser value in place again.
#pragma once

#include "platform/registry.h"

#include <string>
#include <vector>

namespace restore {

// keyN, typeN and valueN as stored.
struct RawRecord {
    int nIndex = 0;
    std::string strKey;
    std::string strType;
    std::string strValue;
    // The fields a run cut short left out ("type3", "value3" or both); "" for a whole record.
    std::string strMissing;
};

// One recorded value, parsed: where it goes and what it holds.
struct RestoreTarget {
    int nIndex = 0;
    std::string strLocation; // keyN as recorded
    HKEY hRoot = nullptr;
    std::string strSubKey;
    std::string strValueName;
    bool bNumber = false; // "int"; otherwise "str"
    std::string strText;
    DWORD dwNumber = 0;
};

enum class ReadOutcome {
    Records, // a record set was read (not yet checked)
    Empty,   // no Restore key, or "key1" missing or empty
    Malformed,
    StoreError,
};

// Reads key1, type1, value1, key2, ... until the first missing keyN, whole whatever the length.
// A record without its typeN or valueN (an earlier version wrote the records one by one, and a
// run killed among them left the set cut short) is read with strMissing naming what it lacks.
// Opens the Restore key for reading only.
ReadOutcome ReadRecords(std::vector<RawRecord>* pRecords, std::string* pstrError);

// The keyN texts of the records that a set cut short lacks at its end: when the records are the
// first ones of a configurator's set (all seven of Navigator or three of Internet Explorer) but
// not all of them. Empty otherwise.
std::vector<std::string> MissingRecordKeys(const std::vector<RawRecord>& records);

// Checks every record (root name, subkey and value name, type, number) and parses them all;
// false with the first fault described when any record is malformed.
bool ParseRecords(const std::vector<RawRecord>& records, std::vector<RestoreTarget>* pTargets,
                  std::string* pstrError);

// Parses a number as the records write it ("%d" of a 32-bit value): an optional minus and
// decimal digits, within the signed 32-bit range. The result is the value's 32 bits.
bool ParseRecordNumber(const std::string& strText, DWORD* pdwValue);

enum class WriteStatus {
    Written,    // also: would be written (dry run)
    KeyMissing, // the key does not exist; it is not created
    Failed,
};

struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    DWORD dwType = REG_NONE; // the type written, or that would be written
    LONG lError = ERROR_SUCCESS;
};

// Puts one value back ("str" as REG_SZ; "int" as REG_DWORD, or as 4-byte REG_BINARY where the
// value is such a binary now). With bDryRun nothing is changed; the result says what would be.
WriteResult WriteTarget(const RestoreTarget& target, bool bDryRun);

// "<location> = <value> (<type>)" for the report.
std::string DescribeTarget(const RestoreTarget& target, DWORD dwType);

} // namespace restore
