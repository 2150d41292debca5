// ASCII case folding: names the program compares without regard to case (window titles and
// classes, phone book keys, browser names, tool options). Only A-Z and a-z fold, whatever the
// locale; the registry's names fold by their own code page (platform/registry/KeyPath).
#pragma once

#include <string>

namespace platform {

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiLowered(std::string text) {
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

inline std::string AsciiUppered(std::string text) {
    for (char& c : text)
        c = AsciiUpper(c);
    return text;
}

// Below zero, zero or above zero as a sorts before, with or after b, case aside.
inline int CompareAsciiNoCase(const std::string& a, const std::string& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const unsigned char cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareAsciiNoCase(a, b) == 0;
}

} // namespace platform
