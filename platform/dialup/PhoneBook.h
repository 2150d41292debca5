// The phone book of the dial-up service: an INI file in the manner of the classic dial-up
// phone book, one [section] per entry.
//
//   [Office]
//   PhoneNumber=555-0100
//   UserName=joe
//   Password=secret
//   Domain=WORKGROUP
//   Device=Standard Modem
//   Outcomes=busy,busy,connect
//   ServerPassword=secret
//
// Password is a saved password (absent or empty: none saved). Outcomes says how the attempts
// of one process end, the last one repeating (absent: every attempt connects); ServerPassword
// is the only password the far end accepts (absent: any).
// Lines starting with ';' or '#' are comments; keys compare without ASCII case; a value is the
// rest of the line after '=', blanks around it removed (a ';' inside a value is kept). Entry
// names compare without ASCII case too. What cannot be read is left out and told as a fault
// with its line: a later section with the name of an earlier one, an empty name or a name
// longer than RAS_MaxEntryName (each left out with its keys), a section line without its ']',
// a key before the first section, and any other line that is not a section, a key=value pair
// or a comment. Keys this service does not use are no fault: a classic phone book has many.
#pragma once

#include "platform/windef.h"

#include <string>
#include <vector>

namespace platform::dialup {

struct PhoneBookEntry {
    std::string name;
    std::string phoneNumber;
    std::string userName;
    std::string password; // empty: no saved password
    std::string domain;
    std::string device;
    std::string outcomes;
    bool hasServerPassword = false;
    std::string serverPassword;
};

// A line of the file that was left out, and why (a sentence without the line's text, which
// may hold a password).
struct PhoneBookFault {
    int line; // from 1
    std::string what;
};

class PhoneBook {
  public:
    // Reads a phone book file: ERROR_SUCCESS, or ERROR_CANNOT_OPEN_PHONEBOOK when the file
    // exists but cannot be read, or does not exist and mustExist is set (otherwise a missing
    // file is an empty phone book, as on a fresh system). *problem says why it failed.
    static DWORD Load(const std::string& path, bool mustExist, PhoneBook* book,
                      std::string* problem);
    static PhoneBook Parse(const std::string& text);

    const std::vector<PhoneBookEntry>& Entries() const { return m_entries; }
    // The lines left out, in file order.
    const std::vector<PhoneBookFault>& Faults() const { return m_faults; }
    // The entry of that name (ASCII case ignored), or null.
    const PhoneBookEntry* Find(const std::string& name) const;

  private:
    std::vector<PhoneBookEntry> m_entries;
    std::vector<int> m_entryLines; // the line of each entry's section
    std::vector<PhoneBookFault> m_faults;
};

// ASCII case-insensitive comparison of two names.
bool SameName(const std::string& a, const std::string& b);

} // namespace platform::dialup
