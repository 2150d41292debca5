// The dial-up service of this system: a phone book file, dialing that walks through the
// connection states on a thread of its own, and connections kept in a state folder.
//
// Where things are, unless the options say otherwise:
//   phone book   SKYVANE_PHONEBOOK (which must exist), else $XDG_CONFIG_HOME/skyvane/phonebook.pbk
//                (XDG_CONFIG_HOME defaulting to ~/.config; a missing file there is an empty
//                phone book); on Windows %APPDATA%\Skyvane\phonebook.pbk
//   state folder SKYVANE_DIALUP_STATE, else $XDG_RUNTIME_DIR/skyvane, else skyvane-<uid> in the
//                temporary folder; it must belong to the user and not be writable by all. On
//                Windows %LOCALAPPDATA%\Skyvane\DialupState (connections are this machine's: the
//                folder must not roam), else skyvane-dialup in the user's temporary folder; it
//                must be a real folder (not a link) owned by the user, whose access list lets
//                neither Everyone, Authenticated Users nor Users change it
//   pace         SKYVANE_DIALUP_STEP_MS milliseconds per step (default 400)
//
// Each phone-book entry may name the outcomes of its attempts, in order, the last one
// repeating: Outcomes=busy,busy,connect. Each process counts the attempts per entry from the
// start of the list. The outcomes:
//   connect      the line comes up (RASCS_Connected); with ServerPassword set, only when the
//                dialled password matches it, else as authfail
//   busy         ERROR_LINE_BUSY (676) while connecting the device
//   noanswer     ERROR_NO_ANSWER (678), after a long ring
//   nodialtone   ERROR_NO_DIALTONE (680), at once
//   nocarrier    ERROR_NO_CARRIER (679)
//   voice        ERROR_VOICE_ANSWER (677)
//   authfail     ERROR_AUTHENTICATION_FAILURE (691) while authenticating
//   drop         RASCS_Disconnected with ERROR_REMOTE_DISCONNECTION (629) while authenticating
//   hangup       RASCS_Disconnected without an error code while authenticating
//   error:N      error code N while connecting the device (a code without a text is allowed)
//   refuse[:N]   RasDialA fails at once with N (default ERROR_PORT_NOT_AVAILABLE, 633)
// A word it does not know makes RasDialA fail with ERROR_CORRUPT_PHONEBOOK (625).
#pragma once

#include "platform/ras.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace platform {

namespace dialup {
class PhoneBook;
struct PhoneBookEntry;
} // namespace dialup

struct DialupServiceOptions {
    std::string phoneBookPath;
    std::string stateDirectory;
    DWORD stepMilliseconds = 400;
    // Who named phoneBookPath ("SKYVANE_PHONEBOOK"), or "" for the default place. A phone book
    // someone named must exist, as does one a caller names in a call.
    std::string phoneBookNamedBy;
    // Tells the faults of a phone book: lines left out ("FILE:LINE: why") and a phone book that
    // cannot be read ("FILE: why"). Each fault is told once per service. Unset: standard error.
    std::function<void(const std::vector<std::string>& faults)> reportPhoneBookFaults;

    // The places and pace of the environment (see above).
    static DialupServiceOptions FromEnvironment();
};

class DialupService : public DialupBackend {
  public:
    explicit DialupService(DialupServiceOptions options);
    // Stops the attempts still dialing and releases their handles; connections that are up
    // stay up.
    ~DialupService() override;

    DWORD EnumEntries(LPCSTR lpszPhonebook, LPRASENTRYNAMEA lpRasEntryName, LPDWORD lpcb,
                      LPDWORD lpcEntries) override;
    DWORD GetEntryDialParams(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                             LPBOOL lpfPassword) override;
    DWORD Dial(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType,
               LPVOID lpvNotifier, LPHRASCONN lphRasConn) override;
    DWORD HangUp(HRASCONN hRasConn) override;
    DWORD GetErrorString(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize) override;
    DWORD EnumConnections(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections) override;

    const DialupServiceOptions& Options() const { return m_options; }
    // Handles of this process not yet hung up: attempts dialing, failed or connected.
    std::size_t HandleCount() const;

  private:
    struct Attempt;

    std::string PhoneBookPath(LPCSTR lpszPhonebook) const;
    // Reads the phone book of a call and tells its faults not told before.
    DWORD LoadPhoneBook(LPCSTR lpszPhonebook, dialup::PhoneBook* book);
    // The entry a dial record names, from the phone book of the call (read into *book).
    DWORD FindEntry(LPCSTR lpszPhonebook, const RASDIALPARAMSA& params, dialup::PhoneBook* book,
                    const dialup::PhoneBookEntry** entry);

    DialupServiceOptions m_options;
    mutable std::mutex m_mutex;
    std::map<HRASCONN, std::shared_ptr<Attempt>> m_attempts;
    std::map<std::string, unsigned> m_attemptsPerEntry; // by lower-case entry name
    std::mutex m_reportMutex;
    std::set<std::string> m_faultsTold;
};

// The dial-up service the launcher installs (InstallDialup) for its environment. On Windows the
// real Remote Access Service serves (null: nothing to install) unless SKYVANE_PHONEBOOK names a
// phone book, as under Wine, whose rasapi32 only pretends; then this service does, with that
// phone book. Elsewhere it is always this service. Phone-book faults go to reportFaults (unset:
// standard error).
std::unique_ptr<DialupBackend> OpenDialupFromEnvironment(
    std::function<void(const std::vector<std::string>& faults)> reportFaults = {});

} // namespace platform
