// .reg files: the text form of registry keys and values that the Windows registry editor reads
// and writes, in its two formats:
//   "REGEDIT4": 8-bit text; hex(N) data holds the bytes as stored.
//   "Windows Registry Editor Version 5.00": on Windows UTF-16LE with a byte-order mark; its
//   hex(1), hex(2) and hex(7) data (text types) hold UTF-16LE text.
// This store keeps 8-bit (Windows-1252) text, so reading a 5.00 file converts its text from
// UTF-16 (or UTF-8 with a byte-order mark, or plain 8-bit) to Windows-1252; a character
// without a Windows-1252 form is a fault, and so is anything that is not well-formed text in
// the file's encoding (a stray or overlong UTF-8 byte sequence, a surrogate, a lone UTF-16
// surrogate, a code point beyond U+10FFFF). Written files are always REGEDIT4, which carries
// every stored byte unchanged.
//
// A key's class string, which .reg files have no syntax for, is written as the comment line
// ;class="..." right after the key's line; it is read back from there and given to the key
// when the import creates it (registry editors see an ordinary comment).
#pragma once

#include "platform/registry.h"

#include <string>
#include <vector>

namespace regtool {

// One change a .reg file asks for.
struct RegChange {
    enum Kind { CreateKey, DeleteKeyTree, SetValue, DeleteValue };
    Kind kind;
    int line; // where the file asks for it
    HKEY root;
    std::string path;
    std::string keyClass;          // CreateKey
    platform::RegistryValue value; // SetValue (whole), DeleteValue (name only)
};

// Parses a whole file. On a fault: false, and *error says "line N: what is wrong".
bool ParseRegFile(const std::string& bytes, std::vector<RegChange>* changes, std::string* error);

// One key in the form a .reg file writes it.
struct RegKeyText {
    HKEY root;
    std::string path; // as the store keeps it ("" for the root itself)
    std::string keyClass;
    std::vector<platform::RegistryValue> values;
};

// The REGEDIT4 text of the keys, in the order given (parents before their subkeys). False when
// a name cannot be written in a .reg file (it holds a line break), with *error naming it.
bool FormatRegFile(const std::vector<RegKeyText>& keys, std::string* text, std::string* error);

// "HKEY_LOCAL_MACHINE\path", or the root's name alone.
std::string FullKeyName(HKEY root, const std::string& path);
// Splits "HKLM\path" (any root name, trailing backslash allowed). False for an unknown root
// or an empty or over-long key name.
bool ParseKeyName(const std::string& text, HKEY* root, std::string* path);

} // namespace regtool
