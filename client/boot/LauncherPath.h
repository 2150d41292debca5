// The boot program's one input: the launcher's path, the first line of the file
// "launcher-path" beside the program (the installation writes it).
#pragma once

#include <string>

namespace boot {

inline constexpr const char* kLauncherPathFile = "launcher-path";

// The first line of the file, without a line end ("\n" or "\r\n"); false when the file cannot
// be read or the line is empty.
bool ReadLauncherPath(const std::string& file, std::string* launcher);

// The launcher named beside the boot program in `ownDir` (ending in a separator): reports on
// standard output which one it starts, or on standard error why there is none (false).
bool FindLauncher(const std::string& ownDir, std::string* launcher);

} // namespace boot
