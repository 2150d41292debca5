#include "PhoneBook.h"

#include "platform/ras.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace platform::dialup {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

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
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

PhoneBook PhoneBook::Parse(const std::string& text) {
    PhoneBook book;
    std::istringstream in(text);
    std::string line;
    PhoneBookEntry* current = nullptr;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        first = false;
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            std::size_t close = line.rfind(']');
            if (close == std::string::npos || close == 0)
                continue;
            std::string name = line.substr(1, close - 1);
            if (name.empty() || name.size() > RAS_MaxEntryName || book.Find(name) != nullptr)
                continue;
            book.m_entries.push_back(PhoneBookEntry{});
            current = &book.m_entries.back();
            current->name = name;
            continue;
        }
        std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string::npos)
            continue;
        SetKey(*current, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }
    return book;
}

DWORD PhoneBook::Load(const std::string& path, PhoneBook* book) {
    *book = PhoneBook{};
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    // No phone book yet is an empty one, as on a fresh system.
    if (status.type() == std::filesystem::file_type::not_found)
        return ERROR_SUCCESS;
    if (error || !std::filesystem::is_regular_file(status))
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return ERROR_CANNOT_OPEN_PHONEBOOK;
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
