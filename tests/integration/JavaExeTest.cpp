// The installation's java.exe: from the launcher's Windows-style Java command line to the
// arguments of the machine's java.
#include "client/jdk/JavaCommand.h"
#include "client/jdk/StandIns.h"
#include "integration/ClientRows.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

javaexe::PathTest ExistingPaths(std::set<std::string> paths) {
    return [paths = std::move(paths)](const std::string& path) { return paths.count(path) > 0; };
}

TEST(JavaExeClassPath, TakesTheLocalFormAndLeavesOutMissingEntries) {
    struct Row {
        const char* windows;
        std::set<std::string> existing;
        const char* local;
    };
    const Row rows[] = {
        // The launcher's class path for an installation without classes.zip.
        {R"(/opt/sky/\jdk\classes.zip;/opt/sky/\Classes)",
         {"/opt/sky//Classes"},
         "/opt/sky//Classes"},
        {R"(/opt/sky/\jdk\classes.zip;/opt/sky/\Classes)",
         {"/opt/sky//jdk/classes.zip", "/opt/sky//Classes"},
         "/opt/sky//jdk/classes.zip:/opt/sky//Classes"},
        {R"(/tmp/Sky Vane\jdk\classes.zip;/tmp/Sky Vane\Classes)",
         {"/tmp/Sky Vane/Classes"},
         "/tmp/Sky Vane/Classes"},
        // Empty entries are not the current directory.
        {R"(;a\b;;c;)", {"a/b", "c"}, "a/b:c"},
        // Nothing exists: Java gets the whole list and names the class it could not find.
        {R"(x\y.zip;z)", {}, "x/y.zip:z"},
        {"", {}, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(javaexe::LocalClassPath(row.windows, ExistingPaths(row.existing)), row.local)
            << row.windows;
    }
}

TEST(JavaExeArguments, ConvertsOnlyTheInterpretersOwnOptions) {
    const auto exists = ExistingPaths({"/i/Classes", "/j/lib.jar"});
    struct Row {
        Args in;
        Args out;
    };
    const Row rows[] = {
        {{"-classpath", R"(/i\jdk\classes.zip;/i\Classes)", "Ostrel.Server.console.Skyvane",
          R"(c:\program files\netscape.exe)", R"(C:\bookmark.htm)"},
         {"-cp", "/i/Classes", "Ostrel.Server.console.Skyvane", R"(c:\program files\netscape.exe)",
          R"(C:\bookmark.htm)"}},
        // The program's arguments pass unchanged, even when they look like options.
        {{"-cp", R"(/i\Classes)", "Main", "-classpath", R"(a\b;c)", "", " "},
         {"-cp", "/i/Classes", "Main", "-classpath", R"(a\b;c)", "", " "}},
        // Other options stay where they were; each class-path option is converted.
        {{"-Dx=y", "--class-path", R"(/j\lib.jar)", "-verbose", "-classpath", R"(/i\Classes)", "M"},
         {"-Dx=y", "-cp", "/j/lib.jar", "-verbose", "-cp", "/i/Classes", "M"}},
        {{R"(--class-path=/j\lib.jar;/i\Classes)", "M"}, {"-cp", "/j/lib.jar:/i/Classes", "M"}},
        {{"-jar", R"(a\b.jar)", "-cp", "x"}, {"-jar", R"(a\b.jar)", "-cp", "x"}},
        {{"Main"}, {"Main"}},
        {{}, {}},
    };
    for (const Row& row : rows) {
        javaexe::Translation t = javaexe::TranslateArguments(row.in, exists);
        EXPECT_EQ(t.error, "");
        EXPECT_EQ(t.args, row.out) << (row.in.empty() ? "" : row.in.front());
    }

    javaexe::Translation bad = javaexe::TranslateArguments({"-Dx=y", "-classpath"}, exists);
    EXPECT_EQ(bad.error, "-classpath needs a class path after it");
}

// How java reads its command line: the class path it searches (the last one given), the class
// (or archive) and the program's arguments. The Windows stand-ins dispatch on this.
TEST(JavaExeCommand, FindsTheClassPathTheClassAndTheProgramsArguments) {
    struct Row {
        Args in;
        const char* classPath;
        bool hasMain;
        bool jar;
        const char* main;
        Args programArgs;
    };
    const Row rows[] = {
        {{"-classpath", R"(D:\i\jdk\classes.zip;D:\i\Classes)", "Ostrel.Server.console.Skyvane",
          R"(c:
etscape.exe)",
          ""},
         R"(D:\i\jdk\classes.zip;D:\i\Classes)",
         true,
         false,
         "Ostrel.Server.console.Skyvane",
         {R"(c:
etscape.exe)",
          ""}},
        {{"-cp", "a", "-Dx=y", "--class-path=b", "M", "-cp", "c"},
         "b",
         true,
         false,
         "M",
         {"-cp", "c"}},
        {{"-jar", "x.jar", "y"}, "", true, true, "x.jar", {"y"}},
        // An empty argument is a class name, as java takes it.
        {{"-cp", "a", "", "z"}, "a", true, false, "", {"z"}},
        {{"-verbose"}, "", false, false, "", {}},
        {{"-jar"}, "", false, true, "", {}},
        {{}, "", false, false, "", {}},
    };
    for (const Row& row : rows) {
        const javaexe::JavaCommand command = javaexe::ParseJavaCommand(row.in);
        const std::string trace = row.in.empty() ? "(none)" : row.in.front();
        EXPECT_EQ(command.error, "") << trace;
        EXPECT_EQ(command.classPath, row.classPath) << trace;
        EXPECT_EQ(command.hasMain, row.hasMain) << trace;
        EXPECT_EQ(command.jar, row.jar) << trace;
        EXPECT_EQ(command.main, row.main) << trace;
        EXPECT_EQ(command.programArgs, row.programArgs) << trace;
    }
    EXPECT_EQ(javaexe::ParseJavaCommand({"--class-path"}).error,
              "--class-path needs a class path after it");
    EXPECT_EQ(javaexe::ClassPathEntries(R"(;a;;c d;)"), (Args{R"(a)", "c d"}));
}

// The stand-ins' pieces that follow the Java programs: what the updater ends with for the
// content of updater-exit-code (the file rows are shared with the Java updater's test), the
// console's auto-close time and the argument record.
TEST(JavaExeStandIns, FollowTheJavaPrograms) {
    for (const clientrows::UpdaterExitRow& row : clientrows::kUpdaterExitRows) {
        std::string complaint;
        EXPECT_EQ(static_cast<unsigned long>(javaexe::UpdaterExitCode(
                      row.file != nullptr, row.file != nullptr ? row.file : "", &complaint)),
                  row.expected)
            << (row.file ? row.file : "(no file)");
        EXPECT_EQ(complaint.empty(), row.expected != 1) << (row.file ? row.file : "(no file)");
    }
    std::string complaint;
    EXPECT_EQ(javaexe::UpdaterExitCode(true, "-1\n", &complaint), -1);
    EXPECT_EQ(javaexe::UpdaterExitCode(true, "2147483647", &complaint), 2147483647);
    EXPECT_EQ(javaexe::UpdaterExitCode(true, "2147483648", &complaint), 1);
    EXPECT_EQ(complaint, "updater-exit-code holds \"2147483648\", not an exit code");
    EXPECT_EQ(javaexe::DescribeUpdate(0), "the client is up to date");
    EXPECT_EQ(javaexe::DescribeUpdate(2), "the client was updated and must restart");
    EXPECT_EQ(javaexe::DescribeUpdate(-1), "the update was not completed (exit code -1)");

    const std::pair<const char*, long long> autoClose[] = {
        {nullptr, 0},    {"", 0},   {"300", 300},
        {" 300\n", 300}, {"+5", 5}, {"0", 0},
        {"-5", 0},       {"3s", 0}, {"99999999999999999999", 0},
    };
    for (auto [text, ms] : autoClose) {
        std::string why;
        EXPECT_EQ(javaexe::ParseAutoCloseMs(text, &why), ms) << (text ? text : "(unset)");
        const bool ignored = text != nullptr && *text != '\0' && ms == 0;
        EXPECT_EQ(why.empty(), !ignored) << (text ? text : "(unset)");
    }
    EXPECT_EQ(javaexe::ArgumentRecordText({"a", "", "b c"}), "a\n\nb c\n");
    EXPECT_EQ(javaexe::ArgumentRecordText({}), "");
}

TEST(JavaExeFindJava, PrefersJavaHomeThenSearchesPath) {
    const auto usable = ExistingPaths({"/jdk/bin/java", "/usr/bin/java", "/opt/java"});
    EXPECT_EQ(javaexe::FindJava("/jdk", "/usr/bin", usable), "/jdk/bin/java");
    // A JAVA_HOME without a usable java falls back to the PATH, in PATH order.
    EXPECT_EQ(javaexe::FindJava("/nowhere", "/sbin:/usr/bin/:/bin", usable), "/usr/bin/java");
    EXPECT_EQ(javaexe::FindJava("", "::/opt:/usr/bin", usable), "/opt/java");
    EXPECT_EQ(javaexe::FindJava(nullptr, "/usr/bin", usable), "/usr/bin/java");
    EXPECT_EQ(javaexe::FindJava(nullptr, "/sbin:/bin", usable), "");
    EXPECT_EQ(javaexe::FindJava(nullptr, nullptr, usable), "");
}

} // namespace
