// What the dial-up service asks of the operating system for the files it keeps: its default
// places, the state folder's checks, record files made, replaced and removed, and whether the
// process that wrote a record still runs. One implementation for POSIX systems
// (LocalFilesPosix.cpp), one for Windows (LocalFilesWin32.cpp).
#pragma once

#include "platform/windef.h"

#include <string>

namespace platform::dialup {

// The phone book when SKYVANE_PHONEBOOK names none ("" when there is no such place).
std::string DefaultPhoneBookPath();
// The state folder when SKYVANE_DIALUP_STATE names none.
std::string DefaultStateFolder();

// Checks the state folder, making it and the parents it lacks when create is set:
// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when it does not exist and create is not set, or
// ERROR_ACCESS_DENIED when it cannot be made or is no folder the user may trust with the list
// of connections.
DWORD CheckStateFolder(const std::string& folder, bool create);

enum class NewFile { Made, Taken, Failed };
// Makes a file that did not exist, readable by the user only, holding text. Taken: the name is
// in use.
NewFile MakeNewFile(const std::string& path, const std::string& text);
// Replaces a file's content at once: a reader sees the old text or the new one.
bool ReplaceFile(const std::string& path, const std::string& text);
bool RemoveFile(const std::string& path);

long CurrentProcessId();
// Whether the process still runs (one of another user counts as running).
bool ProcessAlive(long pid);

} // namespace platform::dialup
