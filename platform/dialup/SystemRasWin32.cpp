// The real Remote Access Service of Windows as a backend: rasapi32.dll, loaded on first use.
// The names are looked up by their text, so the macros of platform/ras.h do not touch them.
#include "platform/ras.h"

namespace platform {
namespace {

using EnumEntriesFn = DWORD(WINAPI*)(LPCSTR, LPCSTR, LPRASENTRYNAMEA, LPDWORD, LPDWORD);
using GetEntryDialParamsFn = DWORD(WINAPI*)(LPCSTR, LPRASDIALPARAMSA, LPBOOL);
using DialFn = DWORD(WINAPI*)(LPRASDIALEXTENSIONS, LPCSTR, LPRASDIALPARAMSA, DWORD, LPVOID,
                              LPHRASCONN);
using HangUpFn = DWORD(WINAPI*)(HRASCONN);
using GetErrorStringFn = DWORD(WINAPI*)(UINT, LPSTR, DWORD);
using EnumConnectionsFn = DWORD(WINAPI*)(LPRASCONNA, LPDWORD, LPDWORD);

template <typename Fn> Fn Lookup(HMODULE module, const char* name) {
    if (module == nullptr)
        return nullptr;
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class RasApi32 : public DialupBackend {
  public:
    RasApi32() : m_module(LoadLibraryA("rasapi32.dll")) {
        m_enumEntries = Lookup<EnumEntriesFn>(m_module, "RasEnumEntriesA");
        m_getEntryDialParams = Lookup<GetEntryDialParamsFn>(m_module, "RasGetEntryDialParamsA");
        m_dial = Lookup<DialFn>(m_module, "RasDialA");
        m_hangUp = Lookup<HangUpFn>(m_module, "RasHangUpA");
        m_getErrorString = Lookup<GetErrorStringFn>(m_module, "RasGetErrorStringA");
        m_enumConnections = Lookup<EnumConnectionsFn>(m_module, "RasEnumConnectionsA");
    }
    // The library stays loaded to the end of the process: connections outlive the launcher.

    DWORD EnumEntries(LPCSTR lpszPhonebook, LPRASENTRYNAMEA lpRasEntryName, LPDWORD lpcb,
                      LPDWORD lpcEntries) override {
        return m_enumEntries
                   ? m_enumEntries(nullptr, lpszPhonebook, lpRasEntryName, lpcb, lpcEntries)
                   : Missing();
    }
    DWORD GetEntryDialParams(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                             LPBOOL lpfPassword) override {
        return m_getEntryDialParams
                   ? m_getEntryDialParams(lpszPhonebook, lpRasDialParams, lpfPassword)
                   : Missing();
    }
    DWORD Dial(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType,
               LPVOID lpvNotifier, LPHRASCONN lphRasConn) override {
        return m_dial ? m_dial(nullptr, lpszPhonebook, lpRasDialParams, dwNotifierType, lpvNotifier,
                               lphRasConn)
                      : Missing();
    }
    DWORD HangUp(HRASCONN hRasConn) override { return m_hangUp ? m_hangUp(hRasConn) : Missing(); }
    DWORD GetErrorString(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize) override {
        if (m_getErrorString)
            return m_getErrorString(uErrorValue, lpszErrorString, cBufSize);
        // Without the service its own failure still has a text.
        const char* text = RasErrorText(uErrorValue);
        return text != nullptr ? CopyRasErrorText(text, lpszErrorString, cBufSize)
                               : static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    }
    DWORD EnumConnections(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections) override {
        return m_enumConnections ? m_enumConnections(lpRasConn, lpcb, lpcConnections) : Missing();
    }

  private:
    static DWORD Missing() { return ERROR_RASMAN_CANNOT_INITIALIZE; }

    HMODULE m_module;
    EnumEntriesFn m_enumEntries;
    GetEntryDialParamsFn m_getEntryDialParams;
    DialFn m_dial;
    HangUpFn m_hangUp;
    GetErrorStringFn m_getErrorString;
    EnumConnectionsFn m_enumConnections;
};

} // namespace

DialupBackend* SystemDialup() {
    static RasApi32 rasapi32;
    return &rasapi32;
}

} // namespace platform
