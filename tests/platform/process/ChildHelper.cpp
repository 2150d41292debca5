// A child for the process tests. It writes what it received to the file named by
// SKYVANE_CHILD_OUT (records ending in NUL: working directory, descriptors above 2 that were
// open at start, then each argument) and then ends as SKYVANE_CHILD_SLEEP_MS, SKYVANE_CHILD_SIGNAL
// and SKYVANE_CHILD_EXIT ask.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

namespace {

int EnvNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoi(text) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    std::string openDescriptors;
    for (int fd = 3; fd < 1024; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) {
            openDescriptors += std::to_string(fd) + " ";
        }
    }
    if (const char* out = std::getenv("SKYVANE_CHILD_OUT")) {
        char cwd[PATH_MAX] = "";
        if (getcwd(cwd, sizeof cwd) == nullptr) {
            cwd[0] = '\0';
        }
        std::string report = std::string(cwd) + '\0' + openDescriptors + '\0';
        for (int i = 0; i < argc; ++i) {
            report += std::string(argv[i]) + '\0';
        }
        FILE* file = std::fopen(out, "wb");
        if (file == nullptr) {
            return 99;
        }
        std::fwrite(report.data(), 1, report.size(), file);
        std::fclose(file);
    }
    if (int ms = EnvNumber("SKYVANE_CHILD_SLEEP_MS", 0); ms > 0) {
        usleep(static_cast<useconds_t>(ms) * 1000);
    }
    if (int signal = EnvNumber("SKYVANE_CHILD_SIGNAL", 0); signal > 0) {
        std::raise(signal);
    }
    return EnvNumber("SKYVANE_CHILD_EXIT", 0);
}
