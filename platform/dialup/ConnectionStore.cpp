#include "ConnectionStore.h"

#include "LocalFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace platform::dialup {
namespace {

constexpr const char* kSuffix = ".conn";
constexpr const char* kDialing = "dialing";
constexpr const char* kConnected = "connected";

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
    return value <= 0xFFFFFFFFull ? RasHandleOf(static_cast<DWORD>(value)) : 0;
}

std::string RecordText(const RasConnection& connection, const char* state) {
    // "since" orders the listing by the time each line came up.
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::string("state=") + state + "\npid=" + std::to_string(CurrentProcessId()) +
           "\nsince=" + std::to_string(std::chrono::nanoseconds(since).count()) +
           "\nentry=" + connection.entryName + "\ndevicetype=" + connection.deviceType +
           "\ndevice=" + connection.deviceName + "\n";
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
    return DefaultStateFolder();
}

DWORD ConnectionStore::EnsureDirectory(bool create) const {
    return CheckStateFolder(m_directory, create);
}

std::string ConnectionStore::PathOf(HRASCONN handle) const {
    return (std::filesystem::path(m_directory) /
            (std::to_string(RasHandleNumber(handle)) + kSuffix))
        .string();
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
    std::uniform_int_distribution<DWORD> pick(1, 0x7FFFFFFF);
    const std::string text = RecordText(connection, kDialing);
    for (int tries = 0; tries < 64; ++tries) {
        HRASCONN candidate = RasHandleOf(pick(random));
        switch (MakeNewFile(PathOf(candidate), text)) {
        case NewFile::Made:
            *handle = candidate;
            return ERROR_SUCCESS;
        case NewFile::Taken:
            continue;
        case NewFile::Failed:
            return ERROR_ACCESS_DENIED;
        }
    }
    return ERROR_ACCESS_DENIED;
}

DWORD ConnectionStore::WriteRecord(const RasConnection& connection, const char* state) const {
    // A reader sees the old record or the new one.
    return ReplaceFile(PathOf(connection.handle), RecordText(connection, state))
               ? ERROR_SUCCESS
               : static_cast<DWORD>(ERROR_ACCESS_DENIED);
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
            RemoveFile(item.path().string());
        }
    }
    if (error)
        return ERROR_ACCESS_DENIED;
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first
                   ? a.first < b.first
                   : RasHandleNumber(a.second.handle) < RasHandleNumber(b.second.handle);
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
    if (!RemoveFile(path))
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

} // namespace platform::dialup
