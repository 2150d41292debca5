// Key names and paths as every registry backend treats them: names compare without regard to
// case and keep the case they were created with; paths are backslash-separated names below one
// of the three roots. Text is in the ANSI code page, 1252, whose letters fold as Windows folds
// them: A-Z, the accented capitals 0xC0-0xDE (not 0xD7, the multiplication sign), and the
// pairs 0x8A/0x9A, 0x8C/0x9C, 0x8E/0x9E and 0x9F/0xFF.
#pragma once

#include "platform/registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform::keypath {

// Longest name of one key, as on Windows.
constexpr size_t kMaxKeyNameLength = 255;

// The name with its capitals folded to small letters; two names are the same when their folded
// forms are equal.
std::string Fold(std::string_view name);
bool SameName(std::string_view a, std::string_view b);
// Orders names as the backends enumerate them: by folded bytes, unsigned.
bool NameLess(std::string_view a, std::string_view b);

// 0, 1 or 2 for HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE; -1 otherwise.
int RootIndex(HKEY root);
HKEY RootFromIndex(int index);

// Splits a path into its names ("" gives none). False when a name is empty or too long.
bool Split(std::string_view path, std::vector<std::string>* names);
// base + "\" + sub, either may be empty.
std::string Join(std::string_view base, std::string_view sub);

} // namespace platform::keypath
