// The Ras functions forward to the installed backend; the buffer protocols and the error texts
// live here once, for every backend.
#include "platform/ras.h"

#include <atomic>
#include <cstring>

namespace platform {
namespace {

std::atomic<DialupBackend*> g_backend{nullptr};

struct ErrorText {
    DWORD code;
    const char* text;
};

// The texts a user of a dial-up era system would recognise.
constexpr ErrorText kErrorTexts[] = {
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {PENDING, "An operation is pending."},
    {ERROR_INVALID_PORT_HANDLE, "The port handle is invalid."},
    {ERROR_PORT_ALREADY_OPEN, "The port is already open."},
    {ERROR_BUFFER_TOO_SMALL, "Caller's buffer is too small."},
    {ERROR_WRONG_INFO_SPECIFIED, "Wrong information specified."},
    {ERROR_PORT_NOT_CONNECTED, "The port is not connected."},
    {ERROR_DEVICE_DOES_NOT_EXIST, "The device does not exist."},
    {ERROR_BUFFER_INVALID, "The buffer is invalid."},
    {ERROR_PORT_NOT_FOUND, "The port was not found."},
    {ERROR_PORT_DISCONNECTED, "The port is disconnected."},
    {ERROR_CANNOT_OPEN_PHONEBOOK, "Cannot open the phone book file."},
    {ERROR_CANNOT_LOAD_PHONEBOOK, "Cannot load the phone book file."},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "Cannot find the phone book entry."},
    {ERROR_CORRUPT_PHONEBOOK, "Invalid information found in the phone book file."},
    {ERROR_DISCONNECTION, "The port was disconnected."},
    {ERROR_REMOTE_DISCONNECTION, "The port was disconnected by the remote machine."},
    {ERROR_USER_DISCONNECTION, "The port was disconnected by the user."},
    {ERROR_INVALID_SIZE, "The structure size is incorrect."},
    {ERROR_PORT_NOT_AVAILABLE,
     "The port is already in use or is not configured for Remote Access dial out."},
    {ERROR_REQUEST_TIMEOUT, "The request has timed out."},
    {ERROR_LINE_BUSY, "The line is busy."},
    {ERROR_VOICE_ANSWER, "A person answered instead of a modem."},
    {ERROR_NO_ANSWER, "There is no answer."},
    {ERROR_NO_CARRIER, "Cannot detect carrier."},
    {ERROR_NO_DIALTONE, "There is no dial tone."},
    {ERROR_AUTHENTICATION_FAILURE,
     "Access denied because username and/or password is invalid on the domain."},
    {ERROR_PORT_OR_DEVICE, "Hardware failure in port or attached device."},
    {ERROR_RASMAN_CANNOT_INITIALIZE, "Cannot load the Remote Access Service Connection Manager."},
    {ERROR_PPP_TIMEOUT, "PPP timeout."},
};

// Shared shape of the two enumerations: records of recordSize bytes, each starting with dwSize.
template <typename Record, typename Item, typename Fill>
DWORD FillRecords(const std::vector<Item>& items, Record* records, LPDWORD lpcb, LPDWORD lpcCount,
                  Fill fill) {
    if (lpcb == nullptr || lpcCount == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (records != nullptr && *lpcb >= sizeof(DWORD) && records->dwSize != sizeof(Record))
        return ERROR_INVALID_SIZE;
    const DWORD needed = static_cast<DWORD>(items.size() * sizeof(Record));
    if (!items.empty() && (records == nullptr || *lpcb < needed)) {
        *lpcb = needed;
        *lpcCount = 0;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::memset(&records[i], 0, sizeof(Record));
        records[i].dwSize = sizeof(Record);
        fill(records[i], items[i]);
    }
    *lpcb = needed;
    *lpcCount = static_cast<DWORD>(items.size());
    return ERROR_SUCCESS;
}

} // namespace

void InstallDialup(DialupBackend* backend) {
    g_backend.store(backend);
}
DialupBackend* InstalledDialup() {
    return g_backend.load();
}

#ifndef _WIN32
DialupBackend* SystemDialup() {
    return nullptr; // no Remote Access Service on Linux
}
#endif

DWORD FillEntryNames(const std::vector<std::string>& names, LPRASENTRYNAMEA lpRasEntryName,
                     LPDWORD lpcb, LPDWORD lpcEntries) {
    return FillRecords(names, lpRasEntryName, lpcb, lpcEntries,
                       [](RASENTRYNAMEA& record, const std::string& name) {
                           SetRasField(record.szEntryName, name);
                       });
}

DWORD FillConnections(const std::vector<RasConnection>& connections, LPRASCONNA lpRasConn,
                      LPDWORD lpcb, LPDWORD lpcConnections) {
    return FillRecords(connections, lpRasConn, lpcb, lpcConnections,
                       [](RASCONNA& record, const RasConnection& connection) {
                           record.hrasconn = connection.handle;
                           SetRasField(record.szEntryName, connection.entryName);
                           SetRasField(record.szDeviceType, connection.deviceType);
                           SetRasField(record.szDeviceName, connection.deviceName);
                       });
}

const char* RasErrorText(DWORD code) {
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return nullptr;
}

DWORD CopyRasErrorText(const std::string& text, LPSTR lpszErrorString, DWORD cBufSize) {
    if (lpszErrorString == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (text.size() + 1 > cBufSize)
        return ERROR_BUFFER_TOO_SMALL;
    std::memcpy(lpszErrorString, text.c_str(), text.size() + 1);
    return ERROR_SUCCESS;
}

} // namespace platform

namespace {

// The installed backend, else the system's own service; null when there is neither.
platform::DialupBackend* Backend() {
    platform::DialupBackend* backend = platform::InstalledDialup();
    return backend != nullptr ? backend : platform::SystemDialup();
}

} // namespace

// On Windows the names below are the macros of platform/ras.h: these define platform::RasDialA
// and the others.
DWORD RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, LPRASENTRYNAMEA lpRasEntryName,
                      LPDWORD lpcb, LPDWORD lpcEntries) {
    if (reserved != nullptr)
        return ERROR_INVALID_PARAMETER;
    platform::DialupBackend* backend = Backend();
    if (backend == nullptr)
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    return backend->EnumEntries(lpszPhonebook, lpRasEntryName, lpcb, lpcEntries);
}

DWORD RasGetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                             LPBOOL lpfPassword) {
    platform::DialupBackend* backend = Backend();
    if (backend == nullptr)
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    return backend->GetEntryDialParams(lpszPhonebook, lpRasDialParams, lpfPassword);
}

DWORD RasDialA(LPRASDIALEXTENSIONS, LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
               DWORD dwNotifierType, LPVOID lpvNotifier, LPHRASCONN lphRasConn) {
    platform::DialupBackend* backend = Backend();
    if (backend == nullptr)
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    return backend->Dial(lpszPhonebook, lpRasDialParams, dwNotifierType, lpvNotifier, lphRasConn);
}

DWORD RasHangUpA(HRASCONN hRasConn) {
    platform::DialupBackend* backend = Backend();
    if (backend == nullptr)
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    return backend->HangUp(hRasConn);
}

DWORD RasGetErrorStringA(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize) {
    platform::DialupBackend* backend = Backend();
    if (backend == nullptr) {
        // The service's own failure still has a text.
        const char* text = platform::RasErrorText(uErrorValue);
        return text != nullptr ? platform::CopyRasErrorText(text, lpszErrorString, cBufSize)
                               : static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    }
    return backend->GetErrorString(uErrorValue, lpszErrorString, cBufSize);
}

DWORD RasEnumConnectionsA(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections) {
    platform::DialupBackend* backend = Backend();
    if (backend == nullptr)
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    return backend->EnumConnections(lpRasConn, lpcb, lpcConnections);
}
