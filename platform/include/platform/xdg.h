// The base folders of the XDG rules, for the Linux backends that keep files (the registry store,
// the phone book, the dial-up state).
#pragma once

#include <cstdlib>
#include <string>

namespace platform {

// One rule for every base folder: the variable when it holds an absolute path (a relative one
// is invalid and ignored), else the default.
inline std::string XdgBaseFolder(const char* variable, const std::string& defaultFolder) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/')
        return value;
    return defaultFolder;
}

// The default of a base folder: SUB below the home folder, "" when there is no home.
inline std::string BelowHome(const std::string& home, const char* sub) {
    return home.empty() ? "" : home + "/" + sub;
}

} // namespace platform
