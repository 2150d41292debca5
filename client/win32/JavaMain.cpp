// jdk\java.exe of the installation on Windows, where there is no Java runtime: it reads the
// launcher's Java command line as Java would and runs the client's stand-ins for the console
// and updater classes. Anything else fails as Java fails: the same lines on standard error,
// exit code 1. The classes are looked for in the first class-path entry that exists (the
// stand-ins are built in); the updater's installation folder is the parent of that entry, as
// for the Java updater.
#include "client/jdk/JavaCommand.h"
#include "client/jdk/StandIns.h"
#include "client/win32/Console.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder that holds an entry, with its backslash: "D:\Client\Classes" gives "D:\Client\".
std::string ParentOf(std::string entry) {
    while (entry.size() > 1 && (entry.back() == '\\' || entry.back() == '/')) {
        entry.pop_back();
    }
    const size_t slash = entry.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : entry.substr(0, slash + 1);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const javaexe::JavaCommand command = javaexe::ParseJavaCommand(args);
    if (!command.error.empty()) {
        std::fprintf(stderr, "Error: %s\n", command.error.c_str());
        return 1;
    }
    if (!command.hasMain) {
        std::fprintf(stderr, "Usage: java [options] <mainclass> [args...]\n"
                             "           (to execute a class)\n"
                             "   or  java [options] -jar <jarfile> [args...]\n"
                             "           (to execute a jar file)\n");
        return 1;
    }
    if (command.jar) {
        std::fprintf(stderr, "Error: Unable to access jarfile %s\n", command.main.c_str());
        return 1;
    }
    // Without a class path Java looks in the current folder.
    std::vector<std::string> entries = javaexe::ClassPathEntries(command.classPath);
    if (command.classPath.empty()) {
        entries.push_back(".");
    }
    std::string found;
    for (const std::string& entry : entries) {
        if (Exists(entry)) {
            found = entry;
            break;
        }
    }
    const bool isConsole = command.main == javaexe::kConsoleClass;
    const bool isUpdater = command.main == javaexe::kUpdaterClass;
    if (found.empty() || (!isConsole && !isUpdater)) {
        std::fputs(javaexe::ClassNotFoundMessage(command.main).c_str(), stderr);
        return 1;
    }
    return isConsole ? standin::RunConsole(command.programArgs)
                     : standin::RunUpdater(ParentOf(found), command.programArgs);
}
