#include "platform/process.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "ChildReport.h"
#include "win32/Wine.h"

#include <cstdio>
#endif

namespace {

struct SplitRow {
    const char* line;
    std::vector<std::string> args;
    // What Wine's C runtime gives where it departs from the documented rules ("<program>" for
    // the child's own path).
    std::vector<std::string> wineArgs = {};
};

void PrintTo(const SplitRow& row, std::ostream* os) {
    *os << "[" << row.line << "]";
}

class SplitCommandLineTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitCommandLineTest, GivesTheArgumentsAWindowsProgramWouldSee) {
    EXPECT_EQ(platform::SplitCommandLine(GetParam().line), GetParam().args);
}

const SplitRow kRows[] = {
    // An empty line: the C runtime names the program by its own file.
    {"", {}, {"<program>"}},
    // Leading blanks: Wine's C runtime takes an empty program name before them.
    {" \t ", {}, {""}},
    {"prog", {"prog"}},
    {"  prog \t a\t\tb  ", {"prog", "a", "b"}, {"", "prog", "a", "b"}},
    // The program: quotes group anywhere in it, backslashes are plain characters.
    {R"("C:\Program Files\Sky\jdk\java.exe" -classpath x)",
     {R"(C:\Program Files\Sky\jdk\java.exe)", "-classpath", "x"}},
    // Wine's C runtime applies the later arguments' backslash rule to the program too.
    {R"(C:\dir\"a b"\x.exe q)", {R"(C:\dir\a b\x.exe)", "q"}, {R"(C:\dir"a)", R"(b\x.exe q)"}},
    {R"("C:\dir\" q)", {R"(C:\dir\)", "q"}, {R"(C:\dir" q)"}},
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
    {R"(p a\"b)", {"p", R"(a"b)"}},
    {R"(p a\\)", {"p", R"(a\\)"}},
    {"p \"\"\t\"\"", {"p", "", ""}},
    {"p \"a\tb\"\\\\ c", {"p", "a\tb\\\\", "c"}},
    {R"(p "a\\\"b" c)", {"p", R"(a\"b)", "c"}},
    {R"(p """""")", {"p", R"("")"}},
};

#ifdef _WIN32
// The arguments the C runtime of a child program splits from the line (the child writes them
// out), or {"<failed>"} when the child could not be run.
std::vector<std::string> SplitByChild(const std::string& line) {
    char out[MAX_PATH];
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "arg", 0, out);
    SetEnvironmentVariableA("SKYVANE_CHILD_OUT", out);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = line;
    std::vector<std::string> args;
    char child[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, child, MAX_PATH);
    std::string program = std::string(child, length);
    program = program.substr(0, program.rfind('\\') + 1) + CHILD_HELPER_NAME;
    if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        args = ReadChildReport(out).args;
    } else {
        args = {"<failed>"};
    }
    SetEnvironmentVariableA("SKYVANE_CHILD_OUT", nullptr);
    DeleteFileA(out);
    return args;
}

TEST_P(SplitCommandLineTest, TheCRuntimeSplitsTheLineTheSameWay) {
    std::vector<std::string> expected = GetParam().args;
    if (!GetParam().wineArgs.empty() && RunsUnderWine()) {
        expected = GetParam().wineArgs;
    }
    std::vector<std::string> got = SplitByChild(GetParam().line);
    if (expected == std::vector<std::string>{"<program>"} && got.size() == 1 &&
        got[0].ends_with(CHILD_HELPER_NAME)) {
        got = expected;
    }
    EXPECT_EQ(got, expected);
}
#endif

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
