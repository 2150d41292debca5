// A child for the Windows process tests: writes the arguments its C runtime split from the
// command line to the file named by SKYVANE_CHILD_OUT (each ending in NUL), then sleeps
// SKYVANE_CHILD_SLEEP_MS and exits with SKYVANE_CHILD_EXIT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int EnvNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoi(text) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    if (const char* out = std::getenv("SKYVANE_CHILD_OUT")) {
        std::string report;
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
        Sleep(static_cast<DWORD>(ms));
    }
    return EnvNumber("SKYVANE_CHILD_EXIT", 0);
}
