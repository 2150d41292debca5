// The installation's java.exe: from the launcher's Windows-style Java command line to the
// arguments of the machine's java.
#include "client/jdk/JavaCommand.h"

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
