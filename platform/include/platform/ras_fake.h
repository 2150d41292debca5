// The scripted dial-up backend of the tests: the test says what each call answers, plays the
// line by posting notifications, and reads back the calls made. Safe to use from several
// threads.
#pragma once

#include "platform/ras.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A phone-book entry as RasGetEntryDialParamsA reports it.
struct FakeDialEntry {
    std::string userName;
    std::string password;
    bool hasPassword = false;
    std::string domain;
};

// A forced answer of one enumeration call.
struct FakeEnumAnswer {
    DWORD result = ERROR_SUCCESS;
    DWORD bytesNeeded = 0; // with ERROR_BUFFER_TOO_SMALL: written to *lpcb (0: what the list needs)
    DWORD count = 0;       // written to the count
};

// One RasDialA call as it arrived.
struct FakeDialCall {
    bool hasPhonebook = false;
    std::string phonebook;
    RASDIALPARAMSA params{}; // copied when the call was made
    DWORD notifierType = 0;
    LPVOID notifier = nullptr;
    DWORD result = ERROR_SUCCESS;
    HRASCONN handle = 0; // handed out when the result is 0
};

class FakeDialup : public DialupBackend {
  public:
    FakeDialup();
    // Forgets everything: phone book, queued answers, calls, connections, texts.
    void Reset();

    DWORD EnumEntries(LPCSTR lpszPhonebook, LPRASENTRYNAMEA lpRasEntryName, LPDWORD lpcb,
                      LPDWORD lpcEntries) override;
    DWORD GetEntryDialParams(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                             LPBOOL lpfPassword) override;
    DWORD Dial(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType,
               LPVOID lpvNotifier, LPHRASCONN lphRasConn) override;
    DWORD HangUp(HRASCONN hRasConn) override;
    DWORD GetErrorString(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize) override;
    DWORD EnumConnections(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections) override;

    // --- The phone book. Entries are listed in the order added (RasEnumEntriesA); an entry
    // without dial parameters answers RasGetEntryDialParamsA with empty texts and no password.
    void AddEntry(const std::string& name, const FakeDialEntry& params = {});
    // The next RasEnumEntriesA calls answer so, in order; then the buffer protocol on the
    // entries decides.
    void QueueEnumEntries(const FakeEnumAnswer& answer);
    // The next RasGetEntryDialParamsA call fails with this code and leaves the record alone.
    void QueueGetDialParamsResult(DWORD result);
    // Entry names asked for by RasGetEntryDialParamsA, in order.
    std::vector<std::string> DialParamsAsked() const;

    // --- Dialling. The next RasDialA calls answer so, in order (then 0). Handles are handed
    // out from 0x101 upward.
    void QueueDialResult(DWORD result);
    std::vector<FakeDialCall> Dials() const;
    // Posts a notification for the latest started attempt to its window, numbered as the
    // service does; FALSE when there is no such window. A connection state without error makes
    // the handle a connection that is up.
    BOOL Notify(RASCONNSTATE state, DWORD error);
    // Every RasHangUpA call's handle, 0 included, in order.
    std::vector<HRASCONN> HangUps() const;

    // --- Connections that are up (RasEnumConnectionsA) and the texts of error codes.
    void AddConnection(HRASCONN handle, const std::string& entryName);
    std::vector<HRASCONN> Connections() const;
    void QueueEnumConnections(const FakeEnumAnswer& answer);
    int EnumConnectionsCalls() const;
    // Without an override a code has its usual text (RasErrorText); nullopt takes it away.
    void SetErrorText(DWORD code, std::optional<std::string> text);
    std::vector<DWORD> ErrorTextsAsked() const;

  private:
    DWORD Answer(std::deque<FakeEnumAnswer>& queue, LPDWORD lpcb, LPDWORD lpcCount,
                 DWORD recordSize, std::size_t listed, bool* answered);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
    std::map<std::string, FakeDialEntry> m_params;
    std::deque<FakeEnumAnswer> m_enumEntries;
    std::deque<DWORD> m_dialParamsResults;
    std::vector<std::string> m_dialParamsAsked;
    std::deque<DWORD> m_dialResults;
    std::vector<FakeDialCall> m_dials;
    HRASCONN m_nextHandle = 0x101;
    std::vector<HRASCONN> m_hangUps;
    std::vector<RasConnection> m_connections;
    std::deque<FakeEnumAnswer> m_enumConnections;
    int m_enumConnectionsCalls = 0;
    std::map<DWORD, std::optional<std::string>> m_errorTexts;
    std::vector<DWORD> m_errorTextsAsked;
};

} // namespace platform
