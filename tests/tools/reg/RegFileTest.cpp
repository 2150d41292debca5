// Reading and writing .reg files: every fault is refused with its line, and what is written
// reads back to the same values.
#include "RegFile.h"

#include <gtest/gtest.h>

namespace {

using regtool::RegChange;

std::vector<BYTE> Bytes(const std::string& s) {
    return std::vector<BYTE>(s.begin(), s.end());
}

// The text as a UTF-16LE file with a byte-order mark.
std::string Utf16(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

TEST(RegFile, ReadsBothFormatsAndEncodings) {
    const std::string body = "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ostrel Technologies]\r\n"
                             "\"InstallDir\"=\"D:\\\\Client\\\\\"\r\n"
                             "@=\"default\"\r\n"
                             "\"Count\"=dword:0000001F\r\n"
                             "\"Gone\"=-\r\n"
                             "; a comment\r\n"
                             "[-HKCU\\Old]\r\n";
    struct Row {
        const char* what;
        std::string file;
    } rows[] = {
        {"REGEDIT4", "REGEDIT4" + body},
        {"5.00 8-bit", "Windows Registry Editor Version 5.00" + body},
        {"5.00 UTF-8", "\xEF\xBB\xBFWindows Registry Editor Version 5.00" + body},
        {"5.00 UTF-16",
         Utf16(u"Windows Registry Editor Version 5.00" + std::u16string(body.begin(), body.end()))},
        {"LF only", "REGEDIT4\n\n[HKLM\\SOFTWARE\\Ostrel Technologies]\n"
                    "\"InstallDir\"=\"D:\\\\Client\\\\\"\n@=\"default\"\n\"Count\"=dword:1f\n"
                    "\"Gone\"=-\n[-HKEY_CURRENT_USER\\Old]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<RegChange> changes;
        std::string error;
        ASSERT_TRUE(regtool::ParseRegFile(row.file, &changes, &error)) << error;
        ASSERT_EQ(changes.size(), 6u);
        EXPECT_EQ(changes[0].kind, RegChange::CreateKey);
        EXPECT_EQ(changes[0].root, HKEY_LOCAL_MACHINE);
        EXPECT_EQ(changes[0].path, "SOFTWARE\\Ostrel Technologies");
        EXPECT_EQ(changes[1].value.name, "InstallDir");
        EXPECT_EQ(changes[1].value.type, REG_SZ);
        EXPECT_EQ(changes[1].value.data, Bytes(std::string("D:\\Client\\\0", 11)));
        EXPECT_EQ(changes[2].value.name, "");
        EXPECT_EQ(changes[3].value.type, REG_DWORD);
        EXPECT_EQ(changes[3].value.data, (std::vector<BYTE>{0x1F, 0, 0, 0}));
        EXPECT_EQ(changes[4].kind, RegChange::DeleteValue);
        EXPECT_EQ(changes[4].value.name, "Gone");
        EXPECT_EQ(changes[5].kind, RegChange::DeleteKeyTree);
        EXPECT_EQ(changes[5].root, HKEY_CURRENT_USER);
        EXPECT_EQ(changes[5].path, "Old");
    }
}

TEST(RegFile, Version5TextDataIsUtf16AndBecomes8Bit) {
    // "C:\€" as UTF-16LE: 43 00 3a 00 5c 00 ac 20 00 00; the euro sign is 0x80 in Windows-1252.
    std::string file = Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\E]\r\n"
                             u"\"Path\"=hex(2):43,00,3a,00,5c,00,ac,20,00,00\r\n"
                             u"\"Caf\u00e9\"=\"\u20ac\"\r\n");
    std::vector<RegChange> changes;
    std::string error;
    ASSERT_TRUE(regtool::ParseRegFile(file, &changes, &error)) << error;
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[1].value.type, REG_EXPAND_SZ);
    EXPECT_EQ(changes[1].value.data, Bytes(std::string("C:\\\x80\0", 5)));
    EXPECT_EQ(changes[2].value.name, "Caf\xE9");
    EXPECT_EQ(changes[2].value.data, Bytes(std::string("\x80\0", 2)));
    // The same text as UTF-8, with characters of two and three bytes.
    ASSERT_TRUE(regtool::ParseRegFile("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                                      "[HKCU\\E]\r\n\"Caf\xC3\xA9\"=\"\xE2\x82\xAC\"\r\n",
                                      &changes, &error))
        << error;
    EXPECT_EQ(changes[1].value.name, "Caf\xE9");
    EXPECT_EQ(changes[1].value.data, Bytes(std::string("\x80\0", 2)));
    // In a REGEDIT4 file the same hex(2) bytes are kept as they are.
    ASSERT_TRUE(
        regtool::ParseRegFile("REGEDIT4\n[HKCU\\E]\n\"P\"=hex(2):43,00\n", &changes, &error));
    EXPECT_EQ(changes[1].value.data, (std::vector<BYTE>{0x43, 0}));
}

TEST(RegFile, FaultsAreRefusedWithTheirLine) {
    const std::string head = "REGEDIT4\r\n\r\n[HKLM\\Key]\r\n";
    const std::string u8 = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n[HKCU\\x]\r\n";
    struct Row {
        std::string file;
        int line;
        const char* says;
    } rows[] = {
        {"REGEDIT5\r\n[HKLM\\Key]\r\n", 1, "unknown header"},
        {"\r\nREGEDIT4\r\n", 1, "unknown header"},
        {"Windows Registry Editor Version 5.0\r\n", 1, "unknown header"},
        {head + "[HKLM\\Other\r\n", 4, "must end with ']'"},
        {head + "HKLM\\Other]\r\n", 4, "expected a [key]"},
        {head + "[HKEY_USERS\\x]\r\n", 4, "bad key name"},
        {head + "[HKLM\\a\\\\b]\r\n", 4, "bad key name"},
        {head + "[-HKLM]\r\n", 4, "root key cannot be deleted"},
        {head + "\"Name\"=\"open\r\n", 4, "quotes are not closed"},
        {head + "\"Name=\"x\"\r\n", 4, "expected '='"},
        {head + "\"Name\"=\"x\"y\r\n", 4, "after the closing quote"},
        {head + "\"Name\"=\"C:\\dir\"\r\n", 4, "backslash"},
        {head + "\"Name\"=hex:0g\r\n", 4, "bad hex byte"},
        {head + "\"Name\"=hex:1,02\r\n", 4, "bad hex byte"},
        {head + "\"Name\"=hex:01,,02\r\n", 4, "bad hex byte"},
        {head + "\"Name\"=hex:01,02,\\\r\n  zz\r\n", 4, "bad hex byte"},
        {head + "\"Name\"=hex(zz):01\r\n", 4, "bad value type"},
        {head + "\"Name\"=qword:01\r\n", 4, "unknown value type"},
        {head + "\"Name\"=1\r\n", 4, "unknown value type"},
        {head + "\"Name\"=dword:123456789\r\n", 4, "bad dword"},
        {head + "\"Name\"=dword:\r\n", 4, "bad dword"},
        {"REGEDIT4\r\n\"Name\"=\"x\"\r\n", 2, "must follow a [key]"},
        {head + "[-HKLM\\Key]\r\n\"Name\"=\"x\"\r\n", 5, "must follow a [key]"},
        {head + ";class=bare\r\n", 4, "bad class line"},
        {Utf16(u"Windows Registry Editor Version 5.00\r\n[HKCU\\x]\r\n\"a\"=\"\u4e2d\"\r\n"), 3,
         "U+4E2D"},
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\x]\r\n\"a\"=hex(2):41\r\n", 3,
         "even number"},
        {Utf16(u"Windows Registry Editor Version 5.00\r\n[HKCU\\x]\r\n\"a\"=hex(2):00,d8\r\n"), 3,
         "text data is not UTF-16: a high surrogate U+D800 without a low one"},
        // Bytes that are not text in a Unicode file: refused where they stand, never decoded
        // into something else (C0 8A would be a line break that no editor shows).
        {"\xEF\xBB\xBF\x80", 1, "not UTF-8 text: the continuation byte 80 has no lead byte"},
        {u8 + "\"a\"=\"x\xC0\x8A\"\r\n", 3, "not UTF-8 text: an overlong form of U+000A"},
        {u8 + "\"a\xE0\x80\xAF\"=\"x\"\r\n", 3, "an overlong form of U+002F"},
        {u8 + "\"a\"=\"\xF0\x80\x80\xA2\"\r\n", 3, "an overlong form of U+0022"},
        {u8 + "\"a\"=\"\xED\xA0\x80\"\r\n", 3, "the surrogate U+D800 is not a character"},
        {u8 + "\r\n\"a\"=\"\xF4\x90\x80\x80\"\r\n", 4, "U+110000 lies beyond U+10FFFF"},
        {u8 + "\"a\"=\"\xF8\x88\x80\x80\x80\"\r\n", 3, "the byte F8 is never part of UTF-8"},
        {u8 + "\"a\"=\"\xE2\x82\"\r\n", 3, "the sequence starting with E2 is cut short"},
        {u8 + "\"a\"=\"\xC3", 3, "cut short"},
        {Utf16(u"Windows Registry Editor Version 5.00\r\n[HKCU\\x]\r\n\"a\"=\"") +
             std::string("\x00\xDC", 2),
         3, "not UTF-16 text: a low surrogate U+DC00 without a high one"},
        {Utf16(u"Windows Registry Editor Version 5.00\r\n[HKCU\\x]\r\n\"") +
             std::string("\x3D\xD8\x41\x00", 4),
         3, "a high surrogate U+D83D without a low one after it"},
        {Utf16(u"Windows Registry Editor Version 5.00\r\n") + "[", 2,
         "not UTF-16 text: an odd byte at the end"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        std::vector<RegChange> changes;
        std::string error;
        EXPECT_FALSE(regtool::ParseRegFile(row.file, &changes, &error));
        EXPECT_EQ(error.rfind("line " + std::to_string(row.line) + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
        EXPECT_TRUE(changes.empty());
    }
}

TEST(RegFile, WritesRegedit4WithTheFormsOfEachType) {
    std::vector<regtool::RegKeyText> keys = {
        {HKEY_CURRENT_USER,
         "Software\\Net",
         "NetClass",
         {{"", REG_SZ, Bytes(std::string("say \"hi\" \\o/\0", 13))},
          {"Port", REG_DWORD, {0x80, 0, 0, 0}},
          {"Odd", REG_DWORD, {1, 2}},
          {"Bin", REG_BINARY, {0, 0xAB}},
          {"List", REG_MULTI_SZ, Bytes(std::string("a\0b\0\0", 5))},
          {"Raw", REG_SZ, Bytes("no nul")}}},
        {HKEY_CURRENT_USER, "Software\\Net\\Empty", "", {}},
    };
    std::string text;
    std::string error;
    ASSERT_TRUE(regtool::FormatRegFile(keys, &text, &error)) << error;
    EXPECT_EQ(text, "REGEDIT4\r\n"
                    "\r\n[HKEY_CURRENT_USER\\Software\\Net]\r\n"
                    ";class=\"NetClass\"\r\n"
                    "@=\"say \\\"hi\\\" \\\\o/\"\r\n"
                    "\"Port\"=dword:00000080\r\n"
                    "\"Odd\"=hex(4):01,02\r\n"
                    "\"Bin\"=hex:00,ab\r\n"
                    "\"List\"=hex(7):61,00,62,00,00\r\n"
                    "\"Raw\"=hex(1):6e,6f,20,6e,75,6c\r\n"
                    "\r\n[HKEY_CURRENT_USER\\Software\\Net\\Empty]\r\n"
                    "\r\n");

    keys[1].values.push_back({"two\nlines", REG_SZ, {0}});
    EXPECT_FALSE(regtool::FormatRegFile(keys, &text, &error));
    EXPECT_NE(error.find("line break"), std::string::npos);
}

TEST(RegFile, WrittenValuesReadBackExactly) {
    std::vector<BYTE> every(300);
    for (size_t i = 0; i < every.size(); ++i) {
        every[i] = static_cast<BYTE>(i * 31);
    }
    std::vector<platform::RegistryValue> values = {
        {"text", REG_SZ, Bytes(std::string("plain\0", 6))},
        {"high \xE9\x80\xFF", REG_SZ, Bytes(std::string("\xE9t\xE9 \x80\0", 7))},
        {"quote\" and \\ back", REG_SZ, Bytes(std::string("\\\\server\\\"x\"\0", 13))},
        {"crlf", REG_SZ, Bytes(std::string("a\r\nb\0", 5))},
        {"inner nul", REG_SZ, Bytes(std::string("a\0b\0", 4))},
        {"empty sz", REG_SZ, {}},
        {"@", REG_SZ, Bytes(std::string("at\0", 3))},
        {"", REG_EXPAND_SZ, Bytes(std::string("%PATH%\0", 7))},
        {"big", REG_BINARY, every},
        {"none", REG_NONE, {}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"odd type", 0xFFFFFFFFu, {9}},
        {"dword", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}},
        {";semi [x]", REG_MULTI_SZ, Bytes(std::string("x\0y\0\0", 5))},
    };
    std::vector<regtool::RegKeyText> keys = {
        {HKEY_LOCAL_MACHINE, "", "", {{"root value", REG_SZ, {'r', 0}}}},
        {HKEY_CLASSES_ROOT, "Key ]with[ odd ; names\\  spaced  ", "class \"q\"", values},
    };
    std::string text;
    std::string error;
    ASSERT_TRUE(regtool::FormatRegFile(keys, &text, &error)) << error;
    std::vector<RegChange> changes;
    ASSERT_TRUE(regtool::ParseRegFile(text, &changes, &error)) << error << "\n" << text;
    ASSERT_EQ(changes.size(), 2 + 1 + values.size());
    EXPECT_EQ(changes[0].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(changes[0].path, "");
    EXPECT_EQ(changes[2].path, keys[1].path);
    EXPECT_EQ(changes[2].keyClass, "class \"q\"");
    for (size_t i = 0; i < values.size(); ++i) {
        const platform::RegistryValue& back = changes[3 + i].value;
        SCOPED_TRACE(values[i].name);
        EXPECT_EQ(changes[3 + i].kind, RegChange::SetValue);
        EXPECT_EQ(back.name, values[i].name);
        EXPECT_EQ(back.type, values[i].type);
        EXPECT_EQ(back.data, values[i].data);
    }
}

} // namespace
