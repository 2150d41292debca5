// The dial-up service: the Remote Access Service calls that the launcher and its tools make,
// forwarded to the backend installed with InstallDialup.
//
// On Linux the records are laid out as on 32-bit Windows 95 and NT 4 (RASENTRYNAMEA 264 bytes,
// RASDIALPARAMSA 1052, RASCONNA 412), so connection handles are 32-bit numbers there. Every
// call checks the caller's dwSize and answers with a Windows error code: 0, or
// ERROR_BUFFER_TOO_SMALL (603) with the byte count needed written back, or another code.
//
// On Windows the records and constants are those of the real <ras.h>, and the six calls keep
// their names in the launcher's code: macros below make RasEnumEntriesA and the others name
// the functions of this layer (platform::RasEnumEntriesA, ...), in the way the Windows headers
// map RasDial to RasDialA. Those call the installed backend, or, with none installed, the real
// rasapi32.dll, loaded on first use (a Windows without dial-up networking answers
// ERROR_RASMAN_CANNOT_INITIALIZE instead of refusing to start the program).
#pragma once

#include "platform/windef.h"

#include <cstddef>
#include <string>
#include <vector>

#ifdef _WIN32
// The real headers, with the records of the running Windows (on x64 RASENTRYNAMEA is 532 bytes,
// RASDIALPARAMSA 1068, RASCONNA 708; the callers use sizeof).
#include <ras.h>
#include <raserror.h>

#else
constexpr int RAS_MaxEntryName = 256;
constexpr int RAS_MaxPhoneNumber = 128;
constexpr int RAS_MaxCallbackNumber = RAS_MaxPhoneNumber;
constexpr int RAS_MaxDeviceType = 16;
constexpr int RAS_MaxDeviceName = 128;
constexpr int UNLEN = 256;
constexpr int PWLEN = 256;
constexpr int DNLEN = 15;

// A connection (or dialing attempt); 0 is no connection.
typedef DWORD HRASCONN;
typedef HRASCONN* LPHRASCONN;
typedef BOOL* LPBOOL;

struct RASENTRYNAMEA {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
};
typedef RASENTRYNAMEA* LPRASENTRYNAMEA;

struct RASDIALPARAMSA {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    CHAR szUserName[UNLEN + 1];
    CHAR szPassword[PWLEN + 1];
    CHAR szDomain[DNLEN + 1];
};
typedef RASDIALPARAMSA* LPRASDIALPARAMSA;

struct RASCONNA {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
typedef RASCONNA* LPRASCONNA;

struct RASDIALEXTENSIONS {
    DWORD dwSize;
    DWORD dwfOptions;
    HWND hwndParent;
    ULONG_PTR reserved;
};
typedef RASDIALEXTENSIONS* LPRASDIALEXTENSIONS;

static_assert(sizeof(RASENTRYNAMEA) == 264, "RASENTRYNAMEA must keep its Windows size");
static_assert(sizeof(RASDIALPARAMSA) == 1052, "RASDIALPARAMSA must keep its Windows size");
static_assert(sizeof(RASCONNA) == 412, "RASCONNA must keep its Windows size");
static_assert(offsetof(RASDIALPARAMSA, szUserName) == 519 &&
                  offsetof(RASDIALPARAMSA, szPassword) == 776 &&
                  offsetof(RASDIALPARAMSA, szDomain) == 1033,
              "RASDIALPARAMSA fields must sit where Windows has them");
static_assert(offsetof(RASCONNA, hrasconn) == 4 && offsetof(RASCONNA, szDeviceName) == 282,
              "RASCONNA fields must sit where Windows has them");

constexpr DWORD RASCS_PAUSED = 0x1000;
constexpr DWORD RASCS_DONE = 0x2000;

enum RASCONNSTATE : DWORD {
    RASCS_OpenPort = 0,
    RASCS_PortOpened,
    RASCS_ConnectDevice,
    RASCS_DeviceConnected,
    RASCS_AllDevicesConnected,
    RASCS_Authenticate,
    RASCS_AuthNotify,
    RASCS_AuthRetry,
    RASCS_AuthCallback,
    RASCS_AuthChangePassword,
    RASCS_AuthProject,
    RASCS_AuthLinkSpeed,
    RASCS_AuthAck,
    RASCS_ReAuthenticate,
    RASCS_Authenticated,
    RASCS_PrepareForCallback,
    RASCS_WaitForModemReset,
    RASCS_WaitForCallback,
    RASCS_Projected,

    RASCS_Interactive = RASCS_PAUSED,
    RASCS_RetryAuthentication,
    RASCS_CallbackSetByCaller,
    RASCS_PasswordExpired,

    RASCS_Connected = RASCS_DONE,
    RASCS_Disconnected,
};

// Fixed number of the dial notification when RegisterWindowMessageA("RasDialEvent") gives 0.
constexpr UINT WM_RASDIALEVENT = 0xCCCD;

// Called on the service's own thread for every notification.
typedef void (*RASDIALFUNC)(UINT unMsg, RASCONNSTATE rasconnstate, DWORD dwError);

// Error codes of the dial-up service (raserror.h).
constexpr DWORD RASBASE = 600;
constexpr DWORD PENDING = 600;
constexpr DWORD ERROR_INVALID_PORT_HANDLE = 601;
constexpr DWORD ERROR_PORT_ALREADY_OPEN = 602;
constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
constexpr DWORD ERROR_WRONG_INFO_SPECIFIED = 604;
constexpr DWORD ERROR_PORT_NOT_CONNECTED = 606;
constexpr DWORD ERROR_DEVICE_DOES_NOT_EXIST = 608;
constexpr DWORD ERROR_BUFFER_INVALID = 610;
constexpr DWORD ERROR_PORT_NOT_FOUND = 615;
constexpr DWORD ERROR_PORT_DISCONNECTED = 619;
constexpr DWORD ERROR_CANNOT_OPEN_PHONEBOOK = 621;
constexpr DWORD ERROR_CANNOT_LOAD_PHONEBOOK = 622;
constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
constexpr DWORD ERROR_CORRUPT_PHONEBOOK = 625;
constexpr DWORD ERROR_DISCONNECTION = 628;
constexpr DWORD ERROR_REMOTE_DISCONNECTION = 629;
constexpr DWORD ERROR_USER_DISCONNECTION = 631;
constexpr DWORD ERROR_INVALID_SIZE = 632;
constexpr DWORD ERROR_PORT_NOT_AVAILABLE = 633;
constexpr DWORD ERROR_REQUEST_TIMEOUT = 638;
constexpr DWORD ERROR_LINE_BUSY = 676;
constexpr DWORD ERROR_VOICE_ANSWER = 677;
constexpr DWORD ERROR_NO_ANSWER = 678;
constexpr DWORD ERROR_NO_CARRIER = 679;
constexpr DWORD ERROR_NO_DIALTONE = 680;
constexpr DWORD ERROR_AUTHENTICATION_FAILURE = 691;
constexpr DWORD ERROR_PORT_OR_DEVICE = 692;
constexpr DWORD ERROR_RASMAN_CANNOT_INITIALIZE = 711;
constexpr DWORD ERROR_PPP_TIMEOUT = 718;
#endif // _WIN32

// The six calls. On Windows they are declared in namespace platform, and the macros after them
// put these in the place of rasapi32's.
#ifdef _WIN32
namespace platform {
#endif
// lpRasEntryName may be null to ask for the size only. Reserved must be null; a null phone book
// is the default one.
DWORD RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, LPRASENTRYNAMEA lpRasEntryName,
                      LPDWORD lpcb, LPDWORD lpcEntries);
// Fills user name, domain and, when the phone book keeps one, the password (*lpfPassword tells).
DWORD RasGetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                             LPBOOL lpfPassword);
// Starts an attempt and returns at once with its handle in *lphRasConn; the notifications
// follow (RASNOTIFIER_HWND: messages posted to the window, numbered by RegisterWindowMessageA
// of "RasDialEvent", state in wParam, error in lParam). Without a notifier the call waits for
// the outcome and returns its error code.
DWORD RasDialA(LPRASDIALEXTENSIONS lpRasDialExtensions, LPCSTR lpszPhonebook,
               LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType, LPVOID lpvNotifier,
               LPHRASCONN lphRasConn);
// Ends an attempt (no notification follows once it returns) or a connection. 0 or an unknown
// handle: ERROR_INVALID_HANDLE.
DWORD RasHangUpA(HRASCONN hRasConn);
// 0 and the text of a code; ERROR_INVALID_PARAMETER for a code without text,
// ERROR_BUFFER_TOO_SMALL when the text does not fit.
DWORD RasGetErrorStringA(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize);
// The connections that are up (attempts still dialing are not listed).
DWORD RasEnumConnectionsA(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections);
#ifdef _WIN32
} // namespace platform

#define RasEnumEntriesA platform::RasEnumEntriesA
#define RasGetEntryDialParamsA platform::RasGetEntryDialParamsA
#define RasDialA platform::RasDialA
#define RasHangUpA platform::RasHangUpA
#define RasGetErrorStringA platform::RasGetErrorStringA
#define RasEnumConnectionsA platform::RasEnumConnectionsA
#endif

// Notifier kinds of RasDialA.
constexpr DWORD RASDIALFUNC_NOTIFIER = 0;       // lpvNotifier is a RASDIALFUNC
constexpr DWORD RASNOTIFIER_HWND = 0xFFFFFFFFu; // lpvNotifier is a window of this process

namespace platform {

// A service behind the Ras functions; each method has the contract of the function of the same
// name above.
class DialupBackend {
  public:
    virtual ~DialupBackend() = default;

    virtual DWORD EnumEntries(LPCSTR lpszPhonebook, LPRASENTRYNAMEA lpRasEntryName, LPDWORD lpcb,
                              LPDWORD lpcEntries) = 0;
    virtual DWORD GetEntryDialParams(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                                     LPBOOL lpfPassword) = 0;
    virtual DWORD Dial(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType,
                       LPVOID lpvNotifier, LPHRASCONN lphRasConn) = 0;
    virtual DWORD HangUp(HRASCONN hRasConn) = 0;
    virtual DWORD GetErrorString(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize) = 0;
    virtual DWORD EnumConnections(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections) = 0;
};

// Installs the backend behind the Ras functions (not owned; null uninstalls). Without one the
// system's own service answers: on Windows the real rasapi32; on Linux there is none, and every
// call fails with ERROR_RASMAN_CANNOT_INITIALIZE.
void InstallDialup(DialupBackend* backend);
DialupBackend* InstalledDialup();
// The system's own service (rasapi32 on Windows), or null where there is none.
DialupBackend* SystemDialup();

// ---------------------------------------------------------------------------------------------
// Helpers shared by the backends.

// One connection as RasEnumConnectionsA reports it.
struct RasConnection {
    HRASCONN handle = 0;
    std::string entryName;
    std::string deviceType;
    std::string deviceName;
};

// The buffer protocol of RasEnumEntriesA and RasEnumConnectionsA for a list of names or
// connections: checks the arguments and dwSize, answers 603 with the size needed, or fills the
// records (texts cut to their room).
DWORD FillEntryNames(const std::vector<std::string>& names, LPRASENTRYNAMEA lpRasEntryName,
                     LPDWORD lpcb, LPDWORD lpcEntries);
DWORD FillConnections(const std::vector<RasConnection>& connections, LPRASCONNA lpRasConn,
                      LPDWORD lpcb, LPDWORD lpcConnections);
// The usual text of a dial-up error code, or null when the service has none.
const char* RasErrorText(DWORD code);
// Copies an error text into the caller's buffer: 0, ERROR_INVALID_PARAMETER for a null buffer,
// ERROR_BUFFER_TOO_SMALL when text and NUL do not fit.
DWORD CopyRasErrorText(const std::string& text, LPSTR lpszErrorString, DWORD cBufSize);

// Connection handles as the numbers this layer's own service hands out (1 to 0x7FFFFFFF); on
// Windows HRASCONN is a handle type.
inline HRASCONN RasHandleOf(DWORD number) {
#ifdef _WIN32
    return reinterpret_cast<HRASCONN>(static_cast<ULONG_PTR>(number));
#else
    return number;
#endif
}
inline DWORD RasHandleNumber(HRASCONN handle) {
#ifdef _WIN32
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(handle));
#else
    return handle;
#endif
}

// The text of a fixed-size field, which may lack its NUL.
template <std::size_t N> std::string RasFieldText(const CHAR (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0')
        ++length;
    return std::string(field, length);
}
// Stores text in a fixed-size field, cut to its room, always NUL-terminated.
template <std::size_t N> void SetRasField(CHAR (&field)[N], const std::string& text) {
    std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(field, length);
    field[length] = '\0';
}

} // namespace platform
