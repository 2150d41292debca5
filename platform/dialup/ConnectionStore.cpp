#include "ConnectionStore.h"

#include "platform/xdg.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::dialup {
namespace {

constexpr const char* kSuffix = ".conn";
constexpr const char* kDialing = "dialing";
constexpr const char* kConnected = "connected";

bool ProcessAlive(long pid) {
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The handle of a record's file name ("123.conn"), or 0.
HRASCONN HandleFromFileName(const std::string& name) {
    const std::string suffix = kSuffix;
    if (name.size() <= suffix.size() || name.size() > suffix.size() + 10 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return 0;
    unsigned long long value = 0;
    for (std::size_t i = 0; i < name.size() - suffix.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        value = value * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return value <= 0xFFFFFFFFull ? static_cast<HRASCONN>(value) : 0;
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

std::string RecordText(const RasConnection& connection, const char* state) {
    // "since" orders the listing by the time each line came up.
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::string("state=") + state + "\npid=" + std::to_string(getpid()) +
           "\nsince=" + std::to_string(std::chrono::nanoseconds(since).count()) +
           "\nentry=" + connection.entryName + "\ndevicetype=" + connection.deviceType +
           "\ndevice=" + connection.deviceName + "\n";
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

struct ConnectionStore::Record {
    std::string state;
    long pid = 0;
    long long since = 0;
    RasConnection connection;
};

std::string DefaultStateDirectory() {
    if (const char* explicitDir = std::getenv("SKYVANE_DIALUP_STATE"); explicitDir && *explicitDir)
        return explicitDir;
    if (const std::string runtime = XdgBaseFolder("XDG_RUNTIME_DIR", ""); !runtime.empty())
        return runtime + "/skyvane";
    // No runtime folder (a bare session): a private folder of this user in the temporary one.
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error)
        return "";
    return (temp / ("skyvane-" + std::to_string(geteuid()))).string();
}

DWORD ConnectionStore::EnsureDirectory(bool create) const {
    std::string dir = m_directory;
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

std::string ConnectionStore::PathOf(HRASCONN handle) const {
    return (std::filesystem::path(m_directory) / (std::to_string(handle) + kSuffix)).string();
}

bool ConnectionStore::ReadRecord(const std::string& path, Record* record) const {
    std::ifstream file(path);
    if (!file)
        return false;
    std::string line;
    while (std::getline(file, line)) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (key == "state")
            record->state = value;
        else if (key == "pid")
            record->pid = std::strtol(value.c_str(), nullptr, 10);
        else if (key == "since")
            record->since = std::strtoll(value.c_str(), nullptr, 10);
        else if (key == "entry")
            record->connection.entryName = value;
        else if (key == "devicetype")
            record->connection.deviceType = value;
        else if (key == "device")
            record->connection.deviceName = value;
    }
    return true;
}

DWORD ConnectionStore::Reserve(const RasConnection& connection, HRASCONN* handle) {
    DWORD result = EnsureDirectory(true);
    if (result != ERROR_SUCCESS)
        return result;
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<HRASCONN> pick(1, 0x7FFFFFFF);
    const std::string text = RecordText(connection, kDialing);
    for (int tries = 0; tries < 64; ++tries) {
        HRASCONN candidate = pick(random);
        std::string path = PathOf(candidate);
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return ERROR_ACCESS_DENIED;
        }
        bool written = WriteAll(fd, text);
        close(fd);
        if (!written) {
            unlink(path.c_str());
            return ERROR_ACCESS_DENIED;
        }
        *handle = candidate;
        return ERROR_SUCCESS;
    }
    return ERROR_ACCESS_DENIED;
}

DWORD ConnectionStore::WriteRecord(const RasConnection& connection, const char* state) const {
    // Written beside and renamed over, so that a reader sees the old record or the new one.
    std::string path = PathOf(connection.handle);
    std::string temp = path + "." + std::to_string(getpid()) + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return ERROR_ACCESS_DENIED;
    bool written = WriteAll(fd, RecordText(connection, state));
    close(fd);
    if (!written || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

DWORD ConnectionStore::MarkConnected(const RasConnection& connection) {
    DWORD result = EnsureDirectory(true);
    if (result != ERROR_SUCCESS)
        return result;
    return WriteRecord(connection, kConnected);
}

DWORD ConnectionStore::List(std::vector<RasConnection>* connections) {
    connections->clear();
    DWORD result = EnsureDirectory(false);
    if (result == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    std::vector<std::pair<long long, RasConnection>> found;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(m_directory, error)) {
        HRASCONN handle = HandleFromFileName(item.path().filename().string());
        if (handle == 0)
            continue;
        Record record;
        if (!ReadRecord(item.path().string(), &record))
            continue;
        if (record.state == kConnected) {
            record.connection.handle = handle;
            found.emplace_back(record.since, record.connection);
        } else if (record.state == kDialing && record.pid > 0 && !ProcessAlive(record.pid)) {
            unlink(item.path().c_str());
        }
    }
    if (error)
        return ERROR_ACCESS_DENIED;
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.handle < b.second.handle;
    });
    for (auto& item : found)
        connections->push_back(std::move(item.second));
    return ERROR_SUCCESS;
}

DWORD ConnectionStore::Remove(HRASCONN handle, bool ownAttempt) {
    if (handle == 0)
        return ERROR_INVALID_HANDLE;
    std::string path = PathOf(handle);
    Record record;
    if (!ReadRecord(path, &record))
        return ERROR_INVALID_HANDLE;
    if (!ownAttempt && record.state != kConnected && record.pid > 0 && ProcessAlive(record.pid))
        return ERROR_INVALID_HANDLE;
    if (unlink(path.c_str()) != 0)
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

} // namespace platform::dialup
