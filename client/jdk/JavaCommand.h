// The interpreter of the installation ("jdk\java.exe") takes the Java command line in the form
// the launcher builds for Windows and runs the machine's Java with it. These are the pieces
// that turn one into the other; main.cpp only adds the exec.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace javaexe {

using PathTest = std::function<bool(const std::string&)>;

// "D:\Client\jdk\classes.zip;D:\Client\Classes" becomes the local list: ';' separates entries,
// a backslash is a directory separator, entries joined with ':'. Entries that do not exist are
// left out, as Java ignores them anyway; when none exists the whole list is kept, so that Java
// names what it could not find.
std::string LocalClassPath(const std::string& windowsClassPath, const PathTest& exists);

struct Translation {
    std::vector<std::string> args; // for the machine's java, without its program name
    std::string error;             // set when the command line cannot be run
};

// Translates the interpreter's arguments (its program name excluded). Class-path options before
// the class name take the local form; the class name and everything after it pass unchanged.
Translation TranslateArguments(const std::vector<std::string>& args, const PathTest& exists);

// The machine's Java: $JAVA_HOME/bin/java when that is executable, else the first "java" on
// PATH that is executable and is not this program itself. "" when there is none.
std::string FindJava(const char* javaHome, const char* path, const PathTest& isUsableJava);

} // namespace javaexe
