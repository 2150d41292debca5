// A child for the process tests, on POSIX systems and on Windows. It writes what it received to
// the file named by SKYVANE_CHILD_OUT (records ending in NUL: working directory, descriptors
// above 2 that were open at start (none on Windows), then each argument as its C runtime split
// them) and then ends as SKYVANE_CHILD_SLEEP_MS, SKYVANE_CHILD_SIGNAL and SKYVANE_CHILD_EXIT ask.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#endif

namespace {

int EnvNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoi(text) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    std::string openDescriptors;
#ifndef _WIN32
    for (int fd = 3; fd < 1024; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) {
            openDescriptors += std::to_string(fd) + " ";
        }
    }
#endif
    if (const char* out = std::getenv("SKYVANE_CHILD_OUT")) {
        std::error_code ec;
        const std::string cwd = std::filesystem::current_path(ec).string();
        std::string report = cwd + '\0' + openDescriptors + '\0';
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
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    if (int signal = EnvNumber("SKYVANE_CHILD_SIGNAL", 0); signal > 0) {
        std::raise(signal);
    }
    return EnvNumber("SKYVANE_CHILD_EXIT", 0);
}
