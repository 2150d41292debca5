// The .reg reader on any file. A file it takes is written back (its keys, classes and values;
// deletions have no written form) and read again: the same keys, classes and values come back,
// names, types and bytes alike.
#include "FuzzCheck.h"

#include "RegFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using regtool::RegChange;
using regtool::RegKeyText;

namespace {

// The keys and values that a written file holds, in file order.
std::vector<RegKeyText> Written(const std::vector<RegChange>& changes) {
    std::vector<RegKeyText> keys;
    bool inKey = false;
    for (const RegChange& change : changes) {
        if (change.kind == RegChange::CreateKey) {
            keys.push_back({change.root, change.path, change.keyClass, {}});
            inKey = true;
        } else if (change.kind == RegChange::SetValue && inKey) {
            keys.back().values.push_back(change.value);
        } else if (change.kind == RegChange::DeleteKeyTree) {
            inKey = false;
        }
    }
    return keys;
}

bool Same(const std::vector<RegKeyText>& a, const std::vector<RegKeyText>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].root != b[i].root || a[i].path != b[i].path || a[i].keyClass != b[i].keyClass ||
            a[i].values.size() != b[i].values.size()) {
            return false;
        }
        for (size_t k = 0; k < a[i].values.size(); ++k) {
            const platform::RegistryValue& x = a[i].values[k];
            const platform::RegistryValue& y = b[i].values[k];
            if (x.name != y.name || x.type != y.type || x.data != y.data) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::vector<RegChange> changes;
    std::string error;
    if (!regtool::ParseRegFile(file, &changes, &error)) {
        FUZZ_CHECK(changes.empty());
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(error.empty());

    const std::vector<RegKeyText> keys = Written(changes);
    std::string text;
    if (!regtool::FormatRegFile(keys, &text, &error)) {
        return 0; // a name with a carriage return inside its line has no written form
    }
    std::vector<RegChange> again;
    FUZZ_CHECK(regtool::ParseRegFile(text, &again, &error));
    FUZZ_CHECK(Same(Written(again), keys));
    return 0;
}
