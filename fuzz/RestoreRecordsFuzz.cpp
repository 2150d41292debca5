// skyvane-restore on any record set. The input's lines are the fields key1, type1, value1,
// key2, ... (a line "\x01" is a field left out, as a run cut short leaves it), and the key of
// every location the records name exists. The tool ends with 0, 2 (refused) or 3 (not all
// written); it never writes into the Restore key; refused, it changes nothing; otherwise every
// whole record is in place afterwards, with its value and type; 0 only when all of them are.
#include "FuzzCheck.h"

#include "RestoreRecords.h"
#include "RestoreTool.h"

#include "browsers/BrowserSettings.h"

#include "platform/registry_memory.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kMissing[] = "\x01";

std::string Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded;
}

bool IsAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::vector<platform::RegistryValue> Values(platform::MemoryRegistry& store, HKEY root,
                                            const std::string& path) {
    std::vector<platform::RegistryValue> values;
    store.EnumValues(root, path, &values);
    return values;
}

bool SameValues(const std::vector<platform::RegistryValue>& a,
                const std::vector<platform::RegistryValue>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (size >= 4) {
        const DWORD dwNumber = static_cast<DWORD>(data[0]) | (static_cast<DWORD>(data[1]) << 8) |
                               (static_cast<DWORD>(data[2]) << 16) |
                               (static_cast<DWORD>(data[3]) << 24);
        DWORD dwBack = 0;
        FUZZ_CHECK(
            restore::ParseRecordNumber(std::to_string(static_cast<LONG>(dwNumber)), &dwBack));
        FUZZ_CHECK(dwBack == dwNumber);
    }

    std::vector<std::string> fields;
    std::istringstream lines(input);
    for (std::string line; std::getline(lines, line) && fields.size() < 60;) {
        fields.push_back(line);
    }

    platform::MemoryRegistry store;
    platform::InstallRegistry(&store);
    const std::string restoreKey = CBrowserSettings::RESTORE_KEY;
    bool created = false;
    FUZZ_CHECK(store.CreateKey(HKEY_LOCAL_MACHINE, restoreKey, "", &created) == ERROR_SUCCESS);
    static const char* const kFields[] = {"key", "type", "value"};
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == kMissing) {
            continue;
        }
        platform::RegistryValue value{kFields[i % 3] + std::to_string(i / 3 + 1), REG_SZ, {}};
        value.data.assign(fields[i].begin(), fields[i].end());
        value.data.push_back(0);
        store.SetValue(HKEY_LOCAL_MACHINE, restoreKey, value);
    }

    // What the tool reads, checked record by record: the whole records that parse, by location.
    std::vector<restore::RawRecord> records;
    std::string error;
    restore::ReadRecords(&records, &error);
    std::vector<restore::RestoreTarget> whole;
    bool incomplete = false;
    for (const restore::RawRecord& record : records) {
        std::vector<restore::RestoreTarget> target;
        if (!record.strMissing.empty()) {
            incomplete = true;
        } else if (restore::ParseRecords({record}, &target, &error)) {
            whole.push_back(target[0]);
            store.CreateKey(target[0].hRoot, target[0].strSubKey, "", &created);
        }
    }
    std::map<std::string, size_t> last; // folded location: index in whole
    std::map<std::string, int> uses;
    for (size_t i = 0; i < whole.size(); ++i) {
        const std::string location = Fold(whole[i].strLocation);
        last[location] = i;
        ++uses[location];
    }
    std::vector<std::vector<platform::RegistryValue>> before;
    for (const restore::RestoreTarget& target : whole) {
        before.push_back(Values(store, target.hRoot, target.strSubKey));
    }
    const std::vector<platform::RegistryValue> restoreBefore =
        Values(store, HKEY_LOCAL_MACHINE, restoreKey);

    std::ostringstream out;
    std::ostringstream err;
    const int exit = restore::RestoreRecordedValues(false, out, err);

    FUZZ_CHECK(exit == restore::EXIT_DONE || exit == restore::EXIT_REFUSED ||
               exit == restore::EXIT_INCOMPLETE);
    FUZZ_CHECK(SameValues(Values(store, HKEY_LOCAL_MACHINE, restoreKey), restoreBefore));
    if (exit == restore::EXIT_REFUSED) {
        for (size_t i = 0; i < whole.size(); ++i) {
            FUZZ_CHECK(SameValues(Values(store, whole[i].hRoot, whole[i].strSubKey), before[i]));
        }
    } else {
        FUZZ_CHECK(exit == restore::EXIT_INCOMPLETE || !incomplete);
        for (size_t i = 0; i < whole.size(); ++i) {
            const restore::RestoreTarget& target = whole[i];
            const std::string location = Fold(target.strLocation);
            if (last[location] != i || uses[location] != 1 || !IsAscii(target.strLocation)) {
                continue; // another record writes the same value, or the store folds it its way
            }
            platform::RegistryValue value;
            if (store.QueryValue(target.hRoot, target.strSubKey, target.strValueName, &value) !=
                ERROR_SUCCESS) {
                FUZZ_CHECK(exit == restore::EXIT_INCOMPLETE);
                continue;
            }
            if (target.bNumber) {
                FUZZ_CHECK(value.type == REG_DWORD || value.type == REG_BINARY);
                FUZZ_CHECK(value.data.size() == 4);
                FUZZ_CHECK((static_cast<DWORD>(value.data[0]) |
                            (static_cast<DWORD>(value.data[1]) << 8) |
                            (static_cast<DWORD>(value.data[2]) << 16) |
                            (static_cast<DWORD>(value.data[3]) << 24)) == target.dwNumber);
            } else {
                FUZZ_CHECK(value.type == REG_SZ);
                FUZZ_CHECK(std::string(value.data.begin(), value.data.end()) ==
                           target.strText + '\0');
            }
        }
    }
    platform::InstallRegistry(nullptr);
    return 0;
}
