// The text handling of the FLTK backend: code page conversion, mnemonics and message box
// wrapping. These need no display.
#include "platform/ui/fltk/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform::ui::fltk;

namespace {

TEST(FltkText, EveryAnsiByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(FltkText, ConvertsWindows1252) {
    struct Row {
        std::string ansi, utf8;
    };
    const Row rows[] = {
        {"plain", "plain"},       {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"}, // été
        {"\x80", "\xE2\x82\xAC"},                                     // euro sign
        {"\x92", "\xE2\x80\x99"},                                     // right single quotation mark
        {"\x81", "\xC2\x81"}, // undefined in the code page: kept as U+0081
        {"\xFF", "\xC3\xBF"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(AnsiToUtf8(r.ansi), r.utf8) << r.ansi;
        EXPECT_EQ(Utf8ToAnsi(r.utf8), r.ansi) << r.utf8;
    }
}

TEST(FltkText, UnrepresentableAndMalformedUtf8BecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToAnsi("a\xE4\xB8\xAD"
                         "b"),
              "a?b");                               // a CJK character
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "?"); // outside the basic plane
    EXPECT_EQ(Utf8ToAnsi("x\xE2\x82"), "x??");      // cut off at the end
    EXPECT_EQ(Utf8ToAnsi("\xC3("), "?(");           // broken sequence
    // An overlong NUL must not put a NUL into the text.
    const std::string overlong = Utf8ToAnsi("a\xC0\x80z");
    EXPECT_EQ(overlong.find('\0'), std::string::npos);
    EXPECT_EQ(overlong, "a??z");
}

TEST(FltkText, MnemonicIsTheLetterAfterALoneAmpersand) {
    EXPECT_EQ(MnemonicOf("&Dial Now"), 'd');
    EXPECT_EQ(MnemonicOf("E&xit"), 'x');
    EXPECT_EQ(MnemonicOf("&Start Without Dialing"), 's');
    EXPECT_EQ(MnemonicOf("Save && Exit"), 0);
    EXPECT_EQ(MnemonicOf("A&&B &Cd"), 'c');
    EXPECT_EQ(MnemonicOf("End&"), 0);
    EXPECT_EQ(MnemonicOf("Number of Attempts"), 0);
    EXPECT_EQ(MnemonicOf(""), 0);
}

TEST(FltkText, TrailingLoneAmpersandStaysVisible) {
    EXPECT_EQ(PrefixedLabel("&Yes"), "&Yes");
    EXPECT_EQ(PrefixedLabel("R&&D"), "R&&D");
    EXPECT_EQ(PrefixedLabel("Tom &"), "Tom &&");
    EXPECT_EQ(PrefixedLabel("a&&&"), "a&&&&");
    EXPECT_EQ(PrefixedLabel("a&&"), "a&&");
}

// Ten pixels a character (a UTF-8 sequence counts once).
int TenPerCharacter(std::string_view s) {
    int n = 0;
    for (char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n * 10;
}

TEST(FltkText, WrapsLikeDrawTextWordBreak) {
    struct Row {
        const char* text;
        int width;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {"", 100, {""}},
        {"hello", 100, {"hello"}},
        {"aaa bbb ccc", 70, {"aaa bbb", "ccc"}}, // exactly 70 still fits
        {"aaa bbb ccc", 69, {"aaa", "bbb", "ccc"}},
        {"aaa   bbb", 40, {"aaa", "bbb"}},           // blanks at a break vanish
        {"Delaying  :  4", 200, {"Delaying  :  4"}}, // blanks within a line stay
        {"  indented", 200, {"  indented"}},
        {"one\ntwo", 200, {"one", "two"}},
        {"one\r\ntwo", 200, {"one", "two"}},
        {"a\n\nb", 200, {"a", "", "b"}},
        {"abcdefghijkl", 50, {"abcde", "fghij", "kl"}}, // a word wider than a line is broken
        {"go C:\\Program-Files\\x", 80, {"go", "C:\\Progr", "am-Files", "\\x"}},
        {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
         25,
         {"\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9", "\xC3\xA9"}}, // never inside a character
        {"wide", 5, {"w", "i", "d", "e"}},                      // always at least one character
    };
    for (const Row& r : rows)
        EXPECT_EQ(WrapText(r.text, r.width, TenPerCharacter), r.lines) << r.text;
}

} // namespace
