#include "platform/process.h"

#include <gtest/gtest.h>

namespace {

struct SplitRow {
    const char* line;
    std::vector<std::string> args;
};

void PrintTo(const SplitRow& row, std::ostream* os) {
    *os << "[" << row.line << "]";
}

class SplitCommandLineTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitCommandLineTest, GivesTheArgumentsAWindowsProgramWouldSee) {
    EXPECT_EQ(platform::SplitCommandLine(GetParam().line), GetParam().args);
}

const SplitRow kRows[] = {
    {"", {}},
    {" \t ", {}},
    {"prog", {"prog"}},
    {"  prog \t a\t\tb  ", {"prog", "a", "b"}},
    // The program: quotes group anywhere in it, backslashes are plain characters.
    {R"("C:\Program Files\Sky\jdk\java.exe" -classpath x)",
     {R"(C:\Program Files\Sky\jdk\java.exe)", "-classpath", "x"}},
    {R"(C:\dir\"a b"\x.exe q)", {R"(C:\dir\a b\x.exe)", "q"}},
    {R"("C:\dir\" q)", {R"(C:\dir\)", "q"}},
    {R"("a b"c d)", {"a bc", "d"}},
    {R"("")", {""}},
    // Later arguments: quotes group, blanks and tabs separate outside them.
    {R"(p "a b" c)", {"p", "a b", "c"}},
    {"p \"a\tb\"", {"p", "a\tb"}},
    {R"(p a"b c"d)", {"p", "ab cd"}},
    {R"(p "" "")", {"p", "", ""}},
    {R"(p a""b)", {"p", "ab"}},
    {R"(p "abc)", {"p", "abc"}},
    // Inside quotes a doubled quote is a literal one and the quoted part goes on.
    {R"(p "a""b")", {"p", R"(a"b)"}},
    {R"(p """")", {"p", R"(")"}},
    {R"(p "a "" b" c)", {"p", R"(a " b)", "c"}},
    // Backslashes count only before a quote.
    {R"(p a\\b C:\dir\)", {"p", R"(a\\b)", R"(C:\dir\)"}},
    {R"(p \"a)", {"p", R"("a)"}},
    {R"(p \\"a b")", {"p", R"(\a b)"}},
    {R"(p \\\"a)", {"p", R"(\"a)"}},
    {R"(p a\\\\"b c")", {"p", R"(a\\b c)"}},
    {R"(p "C:\dir\\")", {"p", R"(C:\dir\)"}},
    {R"(p "a b\")", {"p", R"(a b")"}},
    {R"(p "\"quoted\"")", {"p", R"("quoted")"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, SplitCommandLineTest, testing::ValuesIn(kRows));

// Tricky pieces: each is tried as the program name and as a later argument.
const std::vector<std::string> kTricky = {
    "",          "plain",  "two words", "tab\there", "C:\\dir\\", "C:\\dir\\x.exe", "trail\\\\",
    "\\",        "\\\\ a", "a\\\\\"b",  "a\"b",      "\"",        "\"\"",           "say \"hi\" \\",
    "end\\\" x", " lead",  "tail ",     "\t",
};

TEST(JoinCommandLine, GivesBackEveryArgumentAfterASplit) {
    for (const std::string& piece : kTricky) {
        const std::vector<std::vector<std::string>> lines = {
            {"p", piece}, {"p", piece, piece, "last"}, {piece}, {piece, "arg", piece}};
        for (const auto& args : lines) {
            std::string line = "untouched";
            const bool written = platform::JoinCommandLine(args, &line);
            if (args[0].find('"') != std::string::npos) {
                // No line can carry a quotation mark in the program name: refused, not guessed.
                EXPECT_FALSE(written) << line;
                EXPECT_EQ("untouched", line);
                continue;
            }
            ASSERT_TRUE(written) << args[0];
            EXPECT_EQ(args, platform::SplitCommandLine(line)) << "[" << line << "]";
        }
    }
}

TEST(JoinCommandLine, WritesPlainPiecesAsTheyStand) {
    std::string line;
    ASSERT_TRUE(platform::JoinCommandLine({"C:\\x.exe", "a\\b", "-k"}, &line));
    EXPECT_EQ("C:\\x.exe a\\b -k", line);
    ASSERT_TRUE(platform::JoinCommandLine({"C:\\my dir\\", "a b\\", ""}, &line));
    EXPECT_EQ("\"C:\\my dir\\\" \"a b\\\\\" \"\"", line);
    ASSERT_TRUE(platform::JoinCommandLine({}, &line));
    EXPECT_EQ("", line);
}

} // namespace
