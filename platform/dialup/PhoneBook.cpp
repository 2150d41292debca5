#include "PhoneBook.h"
#include "platform/ascii.h"

#include "platform/ras.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace platform::dialup {
namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

void SetKey(PhoneBookEntry& entry, const std::string& key, const std::string& value) {
    if (SameName(key, "PhoneNumber"))
        entry.phoneNumber = value;
    else if (SameName(key, "UserName"))
        entry.userName = value;
    else if (SameName(key, "Password"))
        entry.password = value;
    else if (SameName(key, "Domain"))
        entry.domain = value;
    else if (SameName(key, "Device"))
        entry.device = value;
    else if (SameName(key, "Outcomes"))
        entry.outcomes = value;
    else if (SameName(key, "ServerPassword")) {
        entry.hasServerPassword = true;
        entry.serverPassword = value;
    }
    // Other keys of a classic phone book (Type, Encoding, ...) mean nothing here.
}

} // namespace

bool SameName(const std::string& a, const std::string& b) {
    return EqualsAsciiNoCase(a, b);
}

PhoneBook PhoneBook::Parse(const std::string& text) {
    PhoneBook book;
    std::istringstream in(text);
    std::string line;
    PhoneBookEntry* current = nullptr;
    bool inLeftOutEntry = false; // the keys of an entry already told as left out
    int number = 0;
    auto fault = [&book, &number](std::string what) {
        book.m_faults.push_back({number, std::move(what)});
    };
    while (std::getline(in, line)) {
        ++number;
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            inLeftOutEntry = true;
            std::size_t close = line.rfind(']');
            if (close == std::string::npos) {
                fault("a section line without its ']': the entry is left out with its keys");
                continue;
            }
            std::string name = line.substr(1, close - 1);
            if (name.empty()) {
                fault("an entry without a name is left out with its keys");
                continue;
            }
            if (name.size() > RAS_MaxEntryName) {
                fault("an entry name longer than " + std::to_string(RAS_MaxEntryName) +
                      " characters is left out with its keys");
                continue;
            }
            if (const PhoneBookEntry* earlier = book.Find(name)) {
                const int earlierLine =
                    book.m_entryLines[static_cast<std::size_t>(earlier - book.m_entries.data())];
                fault("a second entry named \"" + name + "\" (the first is on line " +
                      std::to_string(earlierLine) + ") is left out with its keys");
                continue;
            }
            inLeftOutEntry = false;
            book.m_entries.push_back(PhoneBookEntry{});
            book.m_entryLines.push_back(number);
            current = &book.m_entries.back();
            current->name = name;
            continue;
        }
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            fault("a line that is neither [entry], key=value nor a comment is left out");
            continue;
        }
        std::string key = Trim(line.substr(0, equals));
        if (key.empty()) {
            fault("a value without a key name is left out");
            continue;
        }
        if (current == nullptr) {
            if (!inLeftOutEntry)
                fault("\"" + key + "\" comes before the first [entry] and is left out");
            continue;
        }
        SetKey(*current, key, Trim(line.substr(equals + 1)));
    }
    return book;
}

DWORD PhoneBook::Load(const std::string& path, bool mustExist, PhoneBook* book,
                      std::string* problem) {
    *book = PhoneBook{};
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        if (!mustExist)
            return ERROR_SUCCESS;
        *problem = "the phone book does not exist";
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    if (error) {
        *problem = "the phone book cannot be read: " + error.message();
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    if (!std::filesystem::is_regular_file(status)) {
        *problem = "the phone book is not a file";
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    std::ifstream file(path, std::ios::binary);
    std::string text;
    if (file)
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file || file.bad()) {
        *problem = std::string("the phone book cannot be read: ") + std::strerror(errno);
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    *book = Parse(text);
    return ERROR_SUCCESS;
}

const PhoneBookEntry* PhoneBook::Find(const std::string& name) const {
    for (const PhoneBookEntry& entry : m_entries) {
        if (SameName(entry.name, name))
            return &entry;
    }
    return nullptr;
}

} // namespace platform::dialup
