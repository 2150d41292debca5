// The state folder of the dial-up service: one small file per handle, so that a connection
// that is up outlives the process that dialled it and every process sees the same list.
//
// A handle is reserved when an attempt starts (state "dialing") and becomes "connected" when the
// line is up; hanging up removes the file. Only connected records count as connections. A
// dialing record whose process has died is stale and is swept away by the next listing.
#pragma once

#include "platform/ras.h"

#include <string>
#include <vector>

namespace platform::dialup {

class ConnectionStore {
  public:
    explicit ConnectionStore(std::string directory) : m_directory(std::move(directory)) {}

    const std::string& Directory() const { return m_directory; }

    // Reserves a new handle, unique among the records of every process, as "dialing"; its
    // number is written to *handle and connection.handle is not looked at. ERROR_ACCESS_DENIED
    // when the folder cannot be made, cannot be written, or is not the user's own.
    DWORD Reserve(const RasConnection& connection, HRASCONN* handle);
    DWORD MarkConnected(const RasConnection& connection);
    // Connected records, in the order they came up. A missing folder holds none.
    DWORD List(std::vector<RasConnection>* connections);
    // Removes a record. Unless it is one of this process's own attempts, a record goes only
    // when it is connected or stale. ERROR_INVALID_HANDLE when there is no such record.
    DWORD Remove(HRASCONN handle, bool ownAttempt);

  private:
    struct Record;

    DWORD EnsureDirectory(bool create) const;
    std::string PathOf(HRASCONN handle) const;
    bool ReadRecord(const std::string& path, Record* record) const;
    DWORD WriteRecord(const RasConnection& connection, const char* state) const;

    std::string m_directory;
};

// The state folder of the environment: SKYVANE_DIALUP_STATE, else the system's default
// (DefaultStateFolder: $XDG_RUNTIME_DIR/skyvane or skyvane-<uid> in the temporary folder; on
// Windows %LOCALAPPDATA%\Skyvane\DialupState).
std::string DefaultStateDirectory();

} // namespace platform::dialup
