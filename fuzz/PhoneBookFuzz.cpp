// The phone book reader on any file: every entry has a name of 1 to RAS_MaxEntryName characters
// that no other entry shares (ASCII case ignored) and is found by it; every line left out is
// named once, in file order; and the entries, written out again as a phone book, read back the
// same, with no line left out.
#include "FuzzCheck.h"

#include "PhoneBook.h"

#include "platform/ras.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using platform::dialup::PhoneBook;
using platform::dialup::PhoneBookEntry;

namespace {

std::string Write(const PhoneBook& book) {
    std::string text;
    for (const PhoneBookEntry& entry : book.Entries()) {
        text += "[" + entry.name + "]\n";
        text += "PhoneNumber=" + entry.phoneNumber + "\n";
        text += "UserName=" + entry.userName + "\n";
        text += "Password=" + entry.password + "\n";
        text += "Domain=" + entry.domain + "\n";
        text += "Device=" + entry.device + "\n";
        text += "Outcomes=" + entry.outcomes + "\n";
        if (entry.hasServerPassword) {
            text += "ServerPassword=" + entry.serverPassword + "\n";
        }
    }
    return text;
}

bool Same(const PhoneBookEntry& a, const PhoneBookEntry& b) {
    return a.name == b.name && a.phoneNumber == b.phoneNumber && a.userName == b.userName &&
           a.password == b.password && a.domain == b.domain && a.device == b.device &&
           a.outcomes == b.outcomes && a.hasServerPassword == b.hasServerPassword &&
           a.serverPassword == b.serverPassword;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const PhoneBook book = PhoneBook::Parse(std::string(reinterpret_cast<const char*>(data), size));
    for (const PhoneBookEntry& entry : book.Entries()) {
        FUZZ_CHECK(!entry.name.empty());
        FUZZ_CHECK(entry.name.size() <= static_cast<size_t>(RAS_MaxEntryName));
        FUZZ_CHECK(book.Find(entry.name) == &entry);
    }
    const PhoneBook again = PhoneBook::Parse(Write(book));
    FUZZ_CHECK(again.Faults().empty());
    FUZZ_CHECK(again.Entries().size() == book.Entries().size());
    for (size_t i = 0; i < book.Entries().size(); ++i) {
        FUZZ_CHECK(Same(again.Entries()[i], book.Entries()[i]));
    }
    return 0;
}
