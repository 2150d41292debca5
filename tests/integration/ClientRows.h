// Cases that the client programs of the installation must all answer alike: the Java
// programs on Linux and the stand-ins that jdk\java.exe runs on Windows.
#pragma once

#include <string>
#include <vector>

namespace clientrows {

// The content of "updater-exit-code" (null: no file) and the exit code the updater ends with.
struct UpdaterExitRow {
    const char* file;
    unsigned long expected;
};
inline const UpdaterExitRow kUpdaterExitRows[] = {
    {nullptr, 0},
    {"0\n", 0},
    {"2\n", 2},
    {"3\n", 3},
    // Blanks around the number and a sign are allowed, as Integer.parseInt after trim takes them.
    {" 2 \r\n", 2},
    {"+3", 3},
    // Not a number: the update counts as not completed.
    {"", 1},
    {"two\n", 1},
    {"2.0", 1},
    {"4294967298", 1},
};

// Quotes, backslashes, blanks and empty arguments after the class name, and the arguments
// the Windows rules split them into.
inline const char kTrickyTail[] =
    R"( "c:\program files\netscape.exe" "" plain "say \"hi\"" back\\slash "end\\" -cp x)";
inline const std::vector<std::string> kTrickyArgs = {R"(c:\program files\netscape.exe)",
                                                     "",
                                                     "plain",
                                                     R"(say "hi")",
                                                     R"(back\\slash)",
                                                     R"(end\)",
                                                     "-cp",
                                                     "x"};

} // namespace clientrows
