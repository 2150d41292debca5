// jdk\java.exe of the installation: runs the machine's Java with the launcher's command line.
// The exec keeps the process, so the launcher waits for Java itself and sees its exit code.
#include "client/jdk/JavaCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    javaexe::Translation translation = javaexe::TranslateArguments(args, Exists);
    if (!translation.error.empty()) {
        std::fprintf(stderr, "java.exe: %s\n", translation.error.c_str());
        return 1;
    }

    const std::string self = RealPath("/proc/self/exe");
    std::string java = javaexe::FindJava(
        std::getenv("JAVA_HOME"), std::getenv("PATH"), [&self](const std::string& candidate) {
            struct stat info;
            return stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                   access(candidate.c_str(), X_OK) == 0 && RealPath(candidate) != self;
        });
    if (java.empty()) {
        std::fprintf(stderr,
                     "java.exe: no Java runtime found; set JAVA_HOME or put java on the PATH\n");
        return 127;
    }

    std::vector<char*> javaArgv;
    javaArgv.push_back(const_cast<char*>("java"));
    for (std::string& arg : translation.args) {
        javaArgv.push_back(arg.data());
    }
    javaArgv.push_back(nullptr);
    execv(java.c_str(), javaArgv.data());
    std::fprintf(stderr, "java.exe: cannot run %s: %s\n", java.c_str(), std::strerror(errno));
    return 127;
}
