#include "RegFile.h"
#include "platform/ascii.h"

#include <cstdio>

namespace regtool {

namespace {

const char* const kHeader4 = "REGEDIT4";
const char* const kHeader5 = "Windows Registry Editor Version 5.00";
const char* const kClassComment = ";class=";
constexpr size_t kMaxKeyName = 255;

// Windows-1252 characters of the bytes 0x80 to 0x9F; the five unassigned bytes stand for the
// control characters of the same number, as Windows converts them.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool ToCp1252(char32_t c, char* byte) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        *byte = static_cast<char>(c);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == c) {
            *byte = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// Reads one character of UTF-16LE text at bytes[*pos]. False, with *fault saying why, for
// bytes that are not UTF-16: an odd byte at the end or a surrogate without its partner.
bool NextUtf16(const std::string& bytes, size_t* pos, char32_t* c, std::string* fault) {
    auto unitAt = [&](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    size_t i = *pos;
    if (i + 1 >= bytes.size()) {
        *fault = "an odd byte at the end";
        return false;
    }
    char32_t unit = unitAt(i);
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        *fault = "a low surrogate U+" + Hex(unit, 4) + " without a high one before it";
        return false;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        char32_t low = i + 3 < bytes.size() ? unitAt(i + 2) : 0;
        if (low < 0xDC00 || low > 0xDFFF) {
            *fault = "a high surrogate U+" + Hex(unit, 4) + " without a low one after it";
            return false;
        }
        *c = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        *pos = i + 4;
        return true;
    }
    *c = unit;
    *pos = i + 2;
    return true;
}

// Reads one character of UTF-8 text at bytes[*pos], taking only the shortest form of a code
// point of U+0000 to U+10FFFF that is not a surrogate: anything else (a stray continuation
// byte, an overlong form such as C0 8A for a line break, a cut sequence) could carry
// characters that no reader of the file sees.
bool NextUtf8(const std::string& bytes, size_t* pos, char32_t* c, std::string* fault) {
    size_t i = *pos;
    const unsigned lead = static_cast<unsigned char>(bytes[i]);
    int extra = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        *c = lead;
        *pos = i + 1;
        return true;
    }
    if (lead < 0xC0) {
        *fault = "the continuation byte " + Hex(lead, 2) + " has no lead byte";
        return false;
    }
    if (lead < 0xE0) {
        extra = 1;
        minimum = 0x80;
    } else if (lead < 0xF0) {
        extra = 2;
        minimum = 0x800;
    } else if (lead < 0xF8) {
        extra = 3;
        minimum = 0x10000;
    } else {
        *fault = "the byte " + Hex(lead, 2) + " is never part of UTF-8";
        return false;
    }
    char32_t value = lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
        const unsigned next = i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0;
        if ((next & 0xC0) != 0x80) {
            *fault = "the sequence starting with " + Hex(lead, 2) + " is cut short";
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum) {
        *fault = "an overlong form of U+" + Hex(value, 4);
        return false;
    }
    if (value >= 0xD800 && value <= 0xDFFF) {
        *fault = "the surrogate U+" + Hex(value, 4) + " is not a character";
        return false;
    }
    if (value > 0x10FFFF) {
        *fault = "U+" + Hex(value, 4) + " lies beyond U+10FFFF, the last code point";
        return false;
    }
    *c = value;
    *pos = i + extra + 1;
    return true;
}

using NextCharacter = bool (*)(const std::string&, size_t*, char32_t*, std::string*);

// The file as 8-bit lines; a Unicode file is converted line by line. A fault names the line
// it lies on.
bool SplitLines(const std::string& bytes, std::vector<std::string>* lines, std::string* error) {
    NextCharacter next = nullptr;
    const char* encoding = "";
    size_t pos = 0;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        next = NextUtf16;
        encoding = "UTF-16";
        pos = 2;
    } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        next = NextUtf8;
        encoding = "UTF-8";
        pos = 3;
    }
    lines->assign(1, "");
    while (pos < bytes.size()) {
        char32_t c = static_cast<unsigned char>(bytes[pos]);
        std::string fault;
        if (next == nullptr) {
            ++pos;
        } else if (!next(bytes, &pos, &c, &fault)) {
            *error =
                "line " + std::to_string(lines->size()) + ": not " + encoding + " text: " + fault;
            return false;
        }
        if (c == '\n') {
            lines->emplace_back();
            continue;
        }
        char byte = static_cast<char>(c);
        if (next != nullptr && !ToCp1252(c, &byte)) {
            *error = "line " + std::to_string(lines->size()) + ": the character U+" + Hex(c, 4) +
                     " has no 8-bit (Windows-1252) form";
            return false;
        }
        lines->back().push_back(byte);
    }
    for (std::string& line : *lines) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && IsBlank(s[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(s[end - 1])) {
        --end;
    }
    return s.substr(begin, end - begin);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// 1 to 8 hex digits, as dword: data and hex(N) types are written.
bool ParseHexDword(const std::string& digits, DWORD* number) {
    if (digits.empty() || digits.size() > 8) {
        return false;
    }
    DWORD n = 0;
    for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        n = n * 16 + static_cast<DWORD>(digit);
    }
    *number = n;
    return true;
}

// Reads a quoted string starting at text[*pos] == '"', with the escapes \\ and \".
bool ReadQuoted(const std::string& text, size_t* pos, std::string* out, std::string* fault) {
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
                out->push_back(text[++i]);
                continue;
            }
            *fault = "a backslash in quotes must be written \\\\";
            return false;
        }
        out->push_back(c);
    }
    *fault = "the quotes are not closed";
    return false;
}

// Text data of a 5.00 file is UTF-16LE; the store keeps it in Windows-1252.
bool Utf16ToCp1252(const std::vector<BYTE>& data, std::vector<BYTE>* out, std::string* fault) {
    if (data.size() % 2 != 0) {
        *fault = "text data of a version 5.00 file must be UTF-16 (an even number of bytes)";
        return false;
    }
    const std::string bytes(data.begin(), data.end());
    out->clear();
    for (size_t pos = 0; pos < bytes.size();) {
        char32_t c = 0;
        std::string why;
        if (!NextUtf16(bytes, &pos, &c, &why)) {
            *fault = "text data is not UTF-16: " + why;
            return false;
        }
        char byte = 0;
        if (!ToCp1252(c, &byte)) {
            *fault = "text data holds a character without an 8-bit (Windows-1252) form";
            return false;
        }
        out->push_back(static_cast<BYTE>(byte));
    }
    return true;
}

bool ParseHexList(const std::string& list, std::vector<BYTE>* bytes, std::string* fault) {
    bytes->clear();
    std::string rest = Trim(list);
    if (rest.empty()) {
        return true;
    }
    size_t start = 0;
    while (true) {
        size_t comma = rest.find(',', start);
        std::string item =
            Trim(rest.substr(start, comma == std::string::npos ? comma : comma - start));
        int high = item.size() == 2 ? HexDigit(item[0]) : -1;
        int low = item.size() == 2 ? HexDigit(item[1]) : -1;
        if (high < 0 || low < 0) {
            *fault = "bad hex byte \"" + item + "\" (two hex digits between commas)";
            return false;
        }
        bytes->push_back(static_cast<BYTE>(high * 16 + low));
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

// The data after "name=": a quoted string, dword:, hex:, hex(N): or "-" for deletion.
bool ParseData(const std::string& text, bool version5, RegChange* change, std::string* fault) {
    if (text == "-") {
        change->kind = RegChange::DeleteValue;
        return true;
    }
    change->kind = RegChange::SetValue;
    platform::RegistryValue& value = change->value;
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        std::string s;
        if (!ReadQuoted(text, &pos, &s, fault)) {
            return false;
        }
        if (pos != text.size()) {
            *fault = "unexpected text after the closing quote";
            return false;
        }
        value.type = REG_SZ;
        value.data.assign(s.begin(), s.end());
        value.data.push_back(0);
        return true;
    }
    std::string lower = platform::AsciiLowered(text.substr(0, 6));
    if (lower.compare(0, 6, "dword:") == 0) {
        std::string digits = text.substr(6);
        DWORD number = 0;
        if (!ParseHexDword(digits, &number)) {
            *fault = "bad dword \"" + digits + "\" (1 to 8 hex digits)";
            return false;
        }
        value.type = REG_DWORD;
        value.data = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                      static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
        return true;
    }
    size_t colon = std::string::npos;
    if (lower.compare(0, 4, "hex:") == 0) {
        value.type = REG_BINARY;
        colon = 3;
    } else if (lower.compare(0, 4, "hex(") == 0) {
        size_t close = text.find("):", 4);
        std::string digits = close == std::string::npos ? "" : text.substr(4, close - 4);
        if (!ParseHexDword(digits, &value.type)) {
            *fault = "bad value type in \"" + text.substr(0, 12) + "\"";
            return false;
        }
        colon = close + 1;
    } else {
        *fault = "unknown value type (expected \"text\", dword:, hex: or hex(N):)";
        return false;
    }
    if (!ParseHexList(text.substr(colon + 1), &value.data, fault)) {
        return false;
    }
    if (version5 &&
        (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)) {
        std::vector<BYTE> converted;
        if (!Utf16ToCp1252(value.data, &converted, fault)) {
            return false;
        }
        value.data = std::move(converted);
    }
    return true;
}

} // namespace

std::string FullKeyName(HKEY root, const std::string& path) {
    std::string name = platform::RootKeyName(root);
    if (!path.empty()) {
        name += '\\';
        name += path;
    }
    return name;
}

bool ParseKeyName(const std::string& text, HKEY* root, std::string* path) {
    size_t slash = text.find('\\');
    *root = platform::RootKeyFromName(text.substr(0, slash));
    if (*root == nullptr) {
        return false;
    }
    *path = slash == std::string::npos ? "" : text.substr(slash + 1);
    if (!path->empty() && path->back() == '\\') {
        path->pop_back();
        if (path->empty()) {
            return false;
        }
    }
    size_t start = 0;
    while (!path->empty()) {
        size_t end = path->find('\\', start);
        size_t length = (end == std::string::npos ? path->size() : end) - start;
        if (length == 0 || length > kMaxKeyName) {
            return false;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return true;
}

bool ParseRegFile(const std::string& bytes, std::vector<RegChange>* changes, std::string* error) {
    changes->clear();
    std::vector<std::string> lines;
    if (!SplitLines(bytes, &lines, error)) {
        return false;
    }
    auto fail = [&](size_t line, const std::string& what) {
        *error = "line " + std::to_string(line) + ": " + what;
        changes->clear();
        return false;
    };
    std::string header = Trim(lines[0]);
    bool version5 = header == kHeader5;
    if (!version5 && header != kHeader4) {
        return fail(1, "unknown header \"" + header.substr(0, 40) + "\" (expected \"" + kHeader4 +
                           "\" or \"" + kHeader5 + "\")");
    }

    HKEY root = nullptr; // of the key that value lines belong to; null outside a key
    std::string path;
    bool classAllowed = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        size_t lineNumber = i + 1;
        std::string line = Trim(lines[i]);
        // A line ending in a backslash goes on in the next one (long hex lists).
        while (!line.empty() && line[0] != ';' && line.back() == '\\' && i + 1 < lines.size()) {
            line.pop_back();
            line += Trim(lines[++i]);
        }
        if (line.empty()) {
            continue;
        }
        if (line[0] == ';') {
            if (classAllowed && line.compare(0, 7, kClassComment) == 0) {
                size_t pos = 7;
                std::string keyClass;
                std::string fault;
                if (line.size() <= pos || line[pos] != '"' ||
                    !ReadQuoted(line, &pos, &keyClass, &fault) || pos != line.size()) {
                    return fail(lineNumber, "bad class line" + (fault.empty() ? "" : ": " + fault));
                }
                changes->back().keyClass = keyClass;
            }
            classAllowed = false;
            continue;
        }
        classAllowed = false;
        if (line[0] == '[') {
            if (line.back() != ']') {
                return fail(lineNumber, "a key line must end with ']'");
            }
            std::string name = line.substr(1, line.size() - 2);
            bool remove = !name.empty() && name[0] == '-';
            if (remove) {
                name.erase(0, 1);
            }
            HKEY keyRoot = nullptr;
            std::string keyPath;
            if (!ParseKeyName(name, &keyRoot, &keyPath)) {
                return fail(lineNumber, "bad key name \"" + name + "\"");
            }
            if (remove && keyPath.empty()) {
                return fail(lineNumber, "a root key cannot be deleted");
            }
            RegChange change{remove ? RegChange::DeleteKeyTree : RegChange::CreateKey,
                             static_cast<int>(lineNumber),
                             keyRoot,
                             keyPath,
                             "",
                             {}};
            changes->push_back(change);
            root = remove ? nullptr : keyRoot;
            path = keyPath;
            classAllowed = !remove;
            continue;
        }
        if (line[0] != '"' && line[0] != '@') {
            return fail(lineNumber, "expected a [key], a \"name\"=value or @=value line");
        }
        if (root == nullptr) {
            return fail(lineNumber, "a value line must follow a [key] line");
        }
        RegChange change{RegChange::SetValue, static_cast<int>(lineNumber), root, path, "", {}};
        size_t pos = 0;
        std::string fault;
        if (line[0] == '@') {
            pos = 1; // the default value
        } else if (!ReadQuoted(line, &pos, &change.value.name, &fault)) {
            return fail(lineNumber, fault);
        }
        while (pos < line.size() && IsBlank(line[pos])) {
            ++pos;
        }
        if (pos >= line.size() || line[pos] != '=') {
            return fail(lineNumber, "expected '=' after the value name");
        }
        if (!ParseData(Trim(line.substr(pos + 1)), version5, &change, &fault)) {
            return fail(lineNumber, fault);
        }
        changes->push_back(std::move(change));
    }
    return true;
}

namespace {

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

// Text that a quoted string gives back exactly: one NUL, at the end, and no line break.
bool IsPlainText(const platform::RegistryValue& value) {
    const std::vector<BYTE>& d = value.data;
    if (value.type != REG_SZ || d.empty() || d.back() != 0) {
        return false;
    }
    for (size_t i = 0; i + 1 < d.size(); ++i) {
        if (d[i] == 0 || d[i] == '\r' || d[i] == '\n') {
            return false;
        }
    }
    return true;
}

// hex lists are wrapped below 80 columns as the registry editor does.
void AppendHex(std::string* out, const std::string& prefix, const std::vector<BYTE>& data) {
    std::string line = prefix;
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        line += byte;
        if (i + 1 < data.size()) {
            line += ',';
            if (line.size() >= 76) {
                *out += line + "\\\r\n";
                line = "  ";
            }
        }
    }
    *out += line + "\r\n";
}

} // namespace

bool FormatRegFile(const std::vector<RegKeyText>& keys, std::string* text, std::string* error) {
    std::string out = std::string(kHeader4) + "\r\n";
    for (const RegKeyText& key : keys) {
        std::string name = FullKeyName(key.root, key.path);
        if (HasLineBreak(name) || HasLineBreak(key.keyClass)) {
            *error = "the key \"" + name + "\" has a line break in its name or class";
            return false;
        }
        out += "\r\n[" + name + "]\r\n";
        if (!key.keyClass.empty()) {
            out += kClassComment + Quote(key.keyClass) + "\r\n";
        }
        for (const platform::RegistryValue& value : key.values) {
            if (HasLineBreak(value.name)) {
                *error = "a value of \"" + name + "\" has a line break in its name";
                return false;
            }
            std::string prefix = (value.name.empty() ? "@" : Quote(value.name)) + "=";
            if (IsPlainText(value)) {
                out +=
                    prefix + Quote(std::string(value.data.begin(), value.data.end() - 1)) + "\r\n";
            } else if (value.type == REG_DWORD && value.data.size() == 4) {
                char number[16];
                std::snprintf(number, sizeof number, "dword:%08x",
                              static_cast<unsigned>(value.data[0] | (value.data[1] << 8) |
                                                    (value.data[2] << 16) |
                                                    (static_cast<DWORD>(value.data[3]) << 24)));
                out += prefix + number + "\r\n";
            } else if (value.type == REG_BINARY) {
                AppendHex(&out, prefix + "hex:", value.data);
            } else {
                char type[24];
                std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
                AppendHex(&out, prefix + type, value.data);
            }
        }
    }
    out += "\r\n";
    *text = std::move(out);
    return true;
}

} // namespace regtool
