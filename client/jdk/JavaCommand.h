// The interpreter of the installation ("jdk\java.exe") takes the Java command line in the form
// the launcher builds for Windows. On Linux it runs the machine's Java with it (main.cpp only
// adds the exec); on Windows it runs the client's stand-ins (client/win32). These are the
// pieces both read the command line with.
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

// A Java command line read as Java reads it: the interpreter's options, then the class (or
// "-jar" and an archive), then the program's own arguments, which may look like options.
struct JavaCommand {
    // The options before the class; every class-path option as "-cp" and its list, unchanged.
    std::vector<std::string> options;
    std::string classPath; // the last class path given, as given; "" when none
    bool hasMain = false;  // false: the command line ends before a class
    bool jar = false;      // main names an archive given after "-jar"
    std::string main;
    std::vector<std::string> programArgs;
    std::string error; // set when a class-path option lacks its list
};
JavaCommand ParseJavaCommand(const std::vector<std::string>& args);

// The entries of a Windows class path, ';' separated, empty ones left out, as given.
std::vector<std::string> ClassPathEntries(const std::string& windowsClassPath);

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
