// The proxy-list merge of the Internet Explorer configurator on any "ProxyServer" text: our
// entry comes first, the user's entries follow in their order with at most one HTTP entry left
// out, and merging the result again changes nothing (a run that did not restore leaves the
// merged list, and the next run merges that).
#include "FuzzCheck.h"

#include "browsers/ExplorerSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Entries(const std::string& list) {
    std::vector<std::string> entries(1);
    for (char c : list) {
        if (c == ';') {
            entries.emplace_back();
        } else {
            entries.back() += c;
        }
    }
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string old(reinterpret_cast<const char*>(data), size);
    const std::string merged = CExplorerSettings::MergeProxyServer(old);
    const std::vector<std::string> newEntries = Entries(merged);
    FUZZ_CHECK(newEntries[0] == CExplorerSettings::PROXY_ENTRY);

    const std::vector<std::string> oldEntries =
        old.empty() ? std::vector<std::string>{} : Entries(old);
    size_t next = 1;
    bool dropped = false;
    for (const std::string& entry : oldEntries) {
        if (next < newEntries.size() && newEntries[next] == entry) {
            ++next;
            continue;
        }
        FUZZ_CHECK(!dropped);
        FUZZ_CHECK(entry.find("http=") != std::string::npos);
        dropped = true;
    }
    FUZZ_CHECK(next == newEntries.size());

    FUZZ_CHECK(CExplorerSettings::MergeProxyServer(merged) == merged);
    return 0;
}
