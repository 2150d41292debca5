#include "client/boot/LauncherPath.h"

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

} // namespace boot
