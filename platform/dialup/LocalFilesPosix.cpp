// The dial-up service's files on a POSIX system: XDG places, folders made 0700 and owned by the
// user, files made with O_EXCL and replaced by rename, processes probed with kill(pid, 0).
#include "LocalFiles.h"

#include "platform/xdg.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::dialup {
namespace {

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Makes dir and the parents it lacks, each 0700 whatever the umask (which masks mkdir's mode
// and could take the owner's own bits). Folders that exist already are left as they are.
bool MakePrivateDirectories(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> missing;
    for (std::filesystem::path p = dir; !p.empty(); p = p.parent_path()) {
        struct stat info {};
        if (lstat(p.c_str(), &info) == 0)
            break;
        if (errno != ENOENT)
            return false;
        missing.push_back(p);
        if (p == p.parent_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (mkdir(it->c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue; // made at this moment by another process: not ours to change
            return false;
        }
        int fd = open(it->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        bool tightened = fd >= 0 && fchmod(fd, 0700) == 0;
        if (fd >= 0)
            close(fd);
        if (!tightened)
            return false;
    }
    return true;
}

} // namespace

std::string DefaultPhoneBookPath() {
    const std::string config =
        XdgBaseFolder("XDG_CONFIG_HOME", BelowHome(EnvironmentText("HOME"), ".config"));
    return config.empty() ? "" : config + "/skyvane/phonebook.pbk";
}

std::string DefaultStateFolder() {
    if (const std::string runtime = XdgBaseFolder("XDG_RUNTIME_DIR", ""); !runtime.empty())
        return runtime + "/skyvane";
    // No runtime folder (a bare session): a private folder of this user in the temporary one.
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error)
        return "";
    return (temp / ("skyvane-" + std::to_string(geteuid()))).string();
}

DWORD CheckStateFolder(const std::string& folder, bool create) {
    std::string dir = folder;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty())
        return ERROR_ACCESS_DENIED;
    struct stat info {};
    if (lstat(dir.c_str(), &info) != 0) {
        if (errno != ENOENT)
            return ERROR_ACCESS_DENIED;
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        if (!MakePrivateDirectories(dir))
            return ERROR_ACCESS_DENIED;
        if (lstat(dir.c_str(), &info) != 0)
            return ERROR_ACCESS_DENIED;
    }
    // The folder decides which connections are up: it must be a real folder of this user that
    // not everyone may change (a shared temporary folder could hold anyone's records).
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & S_IWOTH) != 0)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

NewFile MakeNewFile(const std::string& path, const std::string& text) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST ? NewFile::Taken : NewFile::Failed;
    bool written = WriteAll(fd, text);
    close(fd);
    if (!written) {
        unlink(path.c_str());
        return NewFile::Failed;
    }
    return NewFile::Made;
}

bool ReplaceFile(const std::string& path, const std::string& text) {
    // Written beside and renamed over.
    std::string temp = path + "." + std::to_string(getpid()) + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool written = WriteAll(fd, text);
    close(fd);
    if (!written || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

long CurrentProcessId() {
    return static_cast<long>(getpid());
}

bool ProcessAlive(long pid) {
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace platform::dialup
