#include "platform/locked.h"
#include "platform/ras_fake.h"

#include "platform/winuser.h"

namespace platform {

FakeDialup::FakeDialup() = default;

void FakeDialup::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
    m_params.clear();
    m_enumEntries.clear();
    m_dialParamsResults.clear();
    m_dialParamsAsked.clear();
    m_dialResults.clear();
    m_dials.clear();
    m_nextHandle = 0x101;
    m_hangUps.clear();
    m_connections.clear();
    m_enumConnections.clear();
    m_enumConnectionsCalls = 0;
    m_errorTexts.clear();
    m_errorTextsAsked.clear();
}

void FakeDialup::AddEntry(const std::string& name, const FakeDialEntry& params) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(name);
    m_params[name] = params;
}

void FakeDialup::QueueEnumEntries(const FakeEnumAnswer& answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enumEntries.push_back(answer);
}

void FakeDialup::QueueGetDialParamsResult(DWORD result) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dialParamsResults.push_back(result);
}

std::vector<std::string> FakeDialup::DialParamsAsked() const {
    return platform::LockedCopy(m_mutex, m_dialParamsAsked);
}

void FakeDialup::QueueDialResult(DWORD result) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dialResults.push_back(result);
}

std::vector<FakeDialCall> FakeDialup::Dials() const {
    return platform::LockedCopy(m_mutex, m_dials);
}

std::vector<HRASCONN> FakeDialup::HangUps() const {
    return platform::LockedCopy(m_mutex, m_hangUps);
}

void FakeDialup::AddConnection(HRASCONN handle, const std::string& entryName) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connections.push_back({handle, entryName, "modem", "Fake Modem"});
}

std::vector<HRASCONN> FakeDialup::Connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<HRASCONN> handles;
    for (const RasConnection& connection : m_connections)
        handles.push_back(connection.handle);
    return handles;
}

void FakeDialup::QueueEnumConnections(const FakeEnumAnswer& answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enumConnections.push_back(answer);
}

int FakeDialup::EnumConnectionsCalls() const {
    return platform::LockedCopy(m_mutex, m_enumConnectionsCalls);
}

void FakeDialup::SetErrorText(DWORD code, std::optional<std::string> text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_errorTexts[code] = std::move(text);
}

std::vector<DWORD> FakeDialup::ErrorTextsAsked() const {
    return platform::LockedCopy(m_mutex, m_errorTextsAsked);
}

DWORD FakeDialup::Answer(std::deque<FakeEnumAnswer>& queue, LPDWORD lpcb, LPDWORD lpcCount,
                         DWORD recordSize, std::size_t listed, bool* answered) {
    *answered = !queue.empty();
    if (queue.empty())
        return ERROR_SUCCESS;
    FakeEnumAnswer answer = queue.front();
    queue.pop_front();
    if (answer.result == ERROR_BUFFER_TOO_SMALL && lpcb != nullptr)
        *lpcb =
            answer.bytesNeeded != 0 ? answer.bytesNeeded : static_cast<DWORD>(listed * recordSize);
    if (lpcCount != nullptr)
        *lpcCount = answer.count;
    return answer.result;
}

DWORD FakeDialup::EnumEntries(LPCSTR, LPRASENTRYNAMEA lpRasEntryName, LPDWORD lpcb,
                              LPDWORD lpcEntries) {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool answered = false;
    DWORD result =
        Answer(m_enumEntries, lpcb, lpcEntries, sizeof(RASENTRYNAMEA), m_entries.size(), &answered);
    if (answered)
        return result;
    return FillEntryNames(m_entries, lpRasEntryName, lpcb, lpcEntries);
}

DWORD FakeDialup::GetEntryDialParams(LPCSTR, LPRASDIALPARAMSA lpRasDialParams, LPBOOL lpfPassword) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (lpRasDialParams == nullptr || lpfPassword == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::string name = RasFieldText(lpRasDialParams->szEntryName);
    m_dialParamsAsked.push_back(name);
    if (!m_dialParamsResults.empty()) {
        DWORD result = m_dialParamsResults.front();
        m_dialParamsResults.pop_front();
        if (result != ERROR_SUCCESS)
            return result;
    }
    if (lpRasDialParams->dwSize != sizeof(RASDIALPARAMSA))
        return ERROR_INVALID_SIZE;
    auto found = m_params.find(name);
    if (found == m_params.end())
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    const FakeDialEntry& entry = found->second;
    SetRasField(lpRasDialParams->szUserName, entry.userName);
    SetRasField(lpRasDialParams->szPassword, entry.hasPassword ? entry.password : "");
    SetRasField(lpRasDialParams->szDomain, entry.domain);
    *lpfPassword = entry.hasPassword ? TRUE : FALSE;
    return ERROR_SUCCESS;
}

DWORD FakeDialup::Dial(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType,
                       LPVOID lpvNotifier, LPHRASCONN lphRasConn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (lpRasDialParams == nullptr || lphRasConn == nullptr)
        return ERROR_INVALID_PARAMETER;
    FakeDialCall call;
    call.hasPhonebook = lpszPhonebook != nullptr;
    call.phonebook = lpszPhonebook != nullptr ? lpszPhonebook : "";
    call.params = *lpRasDialParams;
    call.notifierType = dwNotifierType;
    call.notifier = lpvNotifier;
    if (!m_dialResults.empty()) {
        call.result = m_dialResults.front();
        m_dialResults.pop_front();
    }
    if (call.result == ERROR_SUCCESS && lpRasDialParams->dwSize != sizeof(RASDIALPARAMSA))
        call.result = ERROR_INVALID_SIZE;
    if (call.result == ERROR_SUCCESS) {
        call.handle = m_nextHandle++;
        *lphRasConn = call.handle;
    }
    m_dials.push_back(call);
    return call.result;
}

BOOL FakeDialup::Notify(RASCONNSTATE state, DWORD error) {
    HWND window = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto call = m_dials.rbegin(); call != m_dials.rend(); ++call) {
            if (call->result != ERROR_SUCCESS)
                continue;
            if (call->notifierType == RASNOTIFIER_HWND)
                window = static_cast<HWND>(call->notifier);
            if (state == RASCS_Connected && error == ERROR_SUCCESS)
                m_connections.push_back(
                    {call->handle, RasFieldText(call->params.szEntryName), "modem", "Fake Modem"});
            break;
        }
    }
    if (window == nullptr)
        return FALSE;
    UINT message = RegisterWindowMessageA("RasDialEvent");
    return PostMessageA(window, message != 0 ? message : WM_RASDIALEVENT, state,
                        static_cast<LPARAM>(error));
}

DWORD FakeDialup::HangUp(HRASCONN hRasConn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hangUps.push_back(hRasConn);
    if (hRasConn == 0)
        return ERROR_INVALID_HANDLE;
    std::erase_if(m_connections,
                  [hRasConn](const RasConnection& c) { return c.handle == hRasConn; });
    return ERROR_SUCCESS;
}

DWORD FakeDialup::GetErrorString(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_errorTextsAsked.push_back(uErrorValue);
    std::optional<std::string> text;
    auto found = m_errorTexts.find(uErrorValue);
    if (found != m_errorTexts.end())
        text = found->second;
    else if (const char* usual = RasErrorText(uErrorValue))
        text = usual;
    if (!text)
        return ERROR_INVALID_PARAMETER;
    return CopyRasErrorText(*text, lpszErrorString, cBufSize);
}

DWORD FakeDialup::EnumConnections(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_enumConnectionsCalls;
    bool answered = false;
    DWORD result = Answer(m_enumConnections, lpcb, lpcConnections, sizeof(RASCONNA),
                          m_connections.size(), &answered);
    if (answered)
        return result;
    return FillConnections(m_connections, lpRasConn, lpcb, lpcConnections);
}

} // namespace platform
