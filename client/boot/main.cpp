// VIZevu.exe, the boot program of the installation. After an update that needs a restart the
// launcher starts it and ends; it starts the launcher again, in its own place and with the same
// environment, so the new run uses the same registry, phone book and dial-up state.
//
// The launcher's path is the first line of the file "launcher-path" beside this program; the
// installation writes it.
#include "client/boot/LauncherPath.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string OwnDirectory() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return "";
    }
    std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/') + 1);
}

} // namespace

int main() {
    const std::string dir = OwnDirectory();
    std::string launcher;
    if (!boot::FindLauncher(dir, &launcher)) {
        return 1;
    }

    char* argv[] = {launcher.data(), nullptr};
    execv(launcher.c_str(), argv);
    std::fprintf(stderr, "VIZevu.exe: cannot start %s: %s\n", launcher.c_str(),
                 std::strerror(errno));
    return 1;
}
