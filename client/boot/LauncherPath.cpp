#include "client/boot/LauncherPath.h"

#include <cstdio>
#include <fstream>

namespace boot {

bool ReadLauncherPath(const std::string& file, std::string* launcher) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty()) {
        return false;
    }
    *launcher = line;
    return true;
}

bool FindLauncher(const std::string& ownDir, std::string* launcher) {
    const std::string pathFile = ownDir + kLauncherPathFile;
    if (!ReadLauncherPath(pathFile, launcher)) {
        std::fprintf(stderr, "VIZevu.exe: cannot read the launcher's path from %s\n",
                     pathFile.c_str());
        return false;
    }
    std::printf("Sky.Vane boot: starting %s\n", launcher->c_str());
    std::fflush(stdout);
    return true;
}

} // namespace boot
