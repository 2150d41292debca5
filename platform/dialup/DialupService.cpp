#include "platform/ascii.h"
#include "platform/ras_service.h"

#include "ConnectionStore.h"
#include "LocalFiles.h"
#include "PhoneBook.h"
#include "platform/winuser.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

using dialup::ConnectionStore;
using dialup::PhoneBook;
using dialup::PhoneBookEntry;

namespace {

// One notification of an attempt, posted after `pause` steps of the service's pace.
struct Step {
    RASCONNSTATE state;
    DWORD error;
    unsigned pause;
};

struct Plan {
    DWORD refusal = ERROR_SUCCESS; // RasDialA fails at once with this code
    std::vector<Step> steps;
};

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> SplitOutcomes(const std::string& list) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        std::string word = AsciiLowered(Trim(list.substr(start, comma - start)));
        if (!word.empty())
            words.push_back(word);
        start = comma + 1;
    }
    return words;
}

// A decimal error code 1..0xFFFFFFFF.
bool ParseCode(const std::string& text, DWORD* code) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (value == 0 || value > 0xFFFFFFFFull)
        return false;
    *code = static_cast<DWORD>(value);
    return true;
}

// The steps up to the device dialling out, and those up to authentication.
std::vector<Step> Dialling() {
    return {{RASCS_OpenPort, 0, 1}, {RASCS_PortOpened, 0, 1}, {RASCS_ConnectDevice, 0, 1}};
}
std::vector<Step> Authenticating() {
    std::vector<Step> steps = Dialling();
    steps.insert(steps.end(), {{RASCS_DeviceConnected, 0, 4},
                               {RASCS_AllDevicesConnected, 0, 1},
                               {RASCS_Authenticate, 0, 1}});
    return steps;
}
std::vector<Step> Then(std::vector<Step> steps, std::initializer_list<Step> more) {
    steps.insert(steps.end(), more);
    return steps;
}

// What one outcome word does; false for a word the service does not know.
bool MakePlan(const std::string& word, bool passwordAccepted, Plan* plan) {
    if (word == "connect" && !passwordAccepted)
        return MakePlan("authfail", true, plan);
    if (word == "connect") {
        plan->steps = Then(Authenticating(), {{RASCS_AuthNotify, 0, 2},
                                              {RASCS_AuthProject, 0, 1},
                                              {RASCS_Authenticated, 0, 1},
                                              {RASCS_Connected, 0, 1}});
    } else if (word == "busy") {
        plan->steps = Then(Dialling(), {{RASCS_ConnectDevice, ERROR_LINE_BUSY, 3}});
    } else if (word == "noanswer") {
        plan->steps = Then(Dialling(), {{RASCS_ConnectDevice, ERROR_NO_ANSWER, 8}});
    } else if (word == "nodialtone") {
        plan->steps = Then(Dialling(), {{RASCS_ConnectDevice, ERROR_NO_DIALTONE, 1}});
    } else if (word == "nocarrier") {
        plan->steps = Then(Dialling(), {{RASCS_ConnectDevice, ERROR_NO_CARRIER, 5}});
    } else if (word == "voice") {
        plan->steps = Then(Dialling(), {{RASCS_ConnectDevice, ERROR_VOICE_ANSWER, 4}});
    } else if (word == "authfail") {
        plan->steps =
            Then(Authenticating(), {{RASCS_Authenticate, ERROR_AUTHENTICATION_FAILURE, 3}});
    } else if (word == "drop") {
        plan->steps = Then(Authenticating(), {{RASCS_Disconnected, ERROR_REMOTE_DISCONNECTION, 2}});
    } else if (word == "hangup") {
        plan->steps = Then(Authenticating(), {{RASCS_Disconnected, 0, 2}});
    } else if (word.rfind("error:", 0) == 0) {
        DWORD code = 0;
        if (!ParseCode(word.substr(6), &code))
            return false;
        plan->steps = Then(Dialling(), {{RASCS_ConnectDevice, code, 2}});
    } else if (word == "refuse") {
        plan->refusal = ERROR_PORT_NOT_AVAILABLE;
    } else if (word.rfind("refuse:", 0) == 0) {
        return ParseCode(word.substr(7), &plan->refusal);
    } else {
        return false;
    }
    return true;
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

// One dialling attempt, from RasDialA to its hang-up.
struct DialupService::Attempt {
    HRASCONN handle = 0;
    RasConnection connection;
    std::vector<Step> steps;
    DWORD notifierType = 0;
    LPVOID notifier = nullptr;
    UINT message = WM_RASDIALEVENT;
    DWORD stepMilliseconds = 0;
    std::string stateDirectory;

    std::mutex mutex;
    std::condition_variable wake;
    bool cancelled = false;
    bool connected = false;
    std::thread worker;

    // Walks the steps, notifying as it goes; returns the last error code (0 once connected).
    DWORD Run() {
        DWORD lastError = ERROR_SUCCESS;
        for (const Step& planned : steps) {
            Step step = planned;
            {
                std::unique_lock<std::mutex> lock(mutex);
                auto pause = std::chrono::milliseconds(stepMilliseconds) * step.pause;
                if (wake.wait_for(lock, pause, [this] { return cancelled; }))
                    return ERROR_USER_DISCONNECTION;
            }
            if (step.state == RASCS_Connected && step.error == ERROR_SUCCESS) {
                DWORD recorded = ConnectionStore(stateDirectory).MarkConnected(connection);
                if (recorded != ERROR_SUCCESS)
                    step = {RASCS_Disconnected, recorded, 0};
                std::lock_guard<std::mutex> lock(mutex);
                connected = recorded == ERROR_SUCCESS;
            }
            lastError = step.error;
            // A window that has gone away gets no more notifications.
            if (!Notify(step))
                return lastError;
        }
        return lastError;
    }

    bool Notify(const Step& step) {
        if (notifier == nullptr)
            return true;
        if (notifierType == RASNOTIFIER_HWND)
            return PostMessageA(static_cast<HWND>(notifier), message, step.state,
                                static_cast<LPARAM>(step.error)) != FALSE;
        reinterpret_cast<RASDIALFUNC>(notifier)(WM_RASDIALEVENT, step.state, step.error);
        return true;
    }

    // Ends the walk; once this returns no notification of the attempt follows.
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            cancelled = true;
        }
        wake.notify_all();
        if (!worker.joinable())
            return;
        // Hanging up from the attempt's own notifier: the walk ends when the notifier returns.
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach();
        else
            worker.join();
    }
};

DialupServiceOptions DialupServiceOptions::FromEnvironment() {
    DialupServiceOptions options;
    options.phoneBookPath = EnvironmentText("SKYVANE_PHONEBOOK");
    if (!options.phoneBookPath.empty())
        options.phoneBookNamedBy = "SKYVANE_PHONEBOOK";
    if (options.phoneBookPath.empty())
        options.phoneBookPath = dialup::DefaultPhoneBookPath();
    options.stateDirectory = dialup::DefaultStateDirectory();
    DWORD step = 0;
    std::string pace = EnvironmentText("SKYVANE_DIALUP_STEP_MS");
    if (pace == "0")
        options.stepMilliseconds = 0;
    else if (ParseCode(pace, &step))
        options.stepMilliseconds = step;
    return options;
}

std::unique_ptr<DialupBackend> OpenDialupFromEnvironment(
    std::function<void(const std::vector<std::string>& faults)> reportFaults) {
#ifdef _WIN32
    if (EnvironmentText("SKYVANE_PHONEBOOK").empty())
        return nullptr; // rasapi32
#endif
    DialupServiceOptions options = DialupServiceOptions::FromEnvironment();
    options.reportPhoneBookFaults = std::move(reportFaults);
    return std::make_unique<DialupService>(std::move(options));
}

DialupService::DialupService(DialupServiceOptions options) : m_options(std::move(options)) {}

DialupService::~DialupService() {
    std::map<HRASCONN, std::shared_ptr<Attempt>> attempts;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        attempts.swap(m_attempts);
    }
    ConnectionStore store(m_options.stateDirectory);
    for (auto& [handle, attempt] : attempts) {
        attempt->Stop();
        if (!attempt->connected)
            store.Remove(handle, true);
    }
}

std::string DialupService::PhoneBookPath(LPCSTR lpszPhonebook) const {
    return lpszPhonebook != nullptr ? std::string(lpszPhonebook) : m_options.phoneBookPath;
}

DWORD DialupService::LoadPhoneBook(LPCSTR lpszPhonebook, PhoneBook* book) {
    const std::string path = PhoneBookPath(lpszPhonebook);
    const bool named = lpszPhonebook != nullptr || !m_options.phoneBookNamedBy.empty();
    std::string problem;
    const DWORD result = PhoneBook::Load(path, named, book, &problem);
    std::vector<std::string> faults;
    if (result != ERROR_SUCCESS) {
        if (lpszPhonebook == nullptr && !m_options.phoneBookNamedBy.empty())
            problem += " (named by " + m_options.phoneBookNamedBy + ")";
        faults.push_back(path + ": " + problem);
    }
    for (const dialup::PhoneBookFault& fault : book->Faults())
        faults.push_back(path + ":" + std::to_string(fault.line) + ": " + fault.what);
    {
        std::lock_guard<std::mutex> lock(m_reportMutex);
        std::erase_if(faults, [this](const std::string& fault) {
            return !m_faultsTold.insert(fault).second;
        });
    }
    if (faults.empty())
        return result;
    // Told outside every lock: the launcher tells them in a message box.
    if (m_options.reportPhoneBookFaults) {
        m_options.reportPhoneBookFaults(faults);
    } else {
        for (const std::string& fault : faults)
            std::fprintf(stderr, "%s\n", fault.c_str());
    }
    return result;
}

std::size_t DialupService::HandleCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_attempts.size();
}

DWORD DialupService::EnumEntries(LPCSTR lpszPhonebook, LPRASENTRYNAMEA lpRasEntryName, LPDWORD lpcb,
                                 LPDWORD lpcEntries) {
    PhoneBook book;
    DWORD result = LoadPhoneBook(lpszPhonebook, &book);
    if (result != ERROR_SUCCESS) {
        if (lpcEntries != nullptr)
            *lpcEntries = 0;
        return result;
    }
    std::vector<std::string> names;
    for (const PhoneBookEntry& entry : book.Entries())
        names.push_back(entry.name);
    return FillEntryNames(names, lpRasEntryName, lpcb, lpcEntries);
}

DWORD DialupService::FindEntry(LPCSTR lpszPhonebook, const RASDIALPARAMSA& params, PhoneBook* book,
                               const PhoneBookEntry** entry) {
    DWORD result = LoadPhoneBook(lpszPhonebook, book);
    if (result != ERROR_SUCCESS)
        return result;
    *entry = book->Find(RasFieldText(params.szEntryName));
    return *entry != nullptr ? ERROR_SUCCESS : ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
}

namespace {

// The arguments every call with a dial record needs: the record, of its size, and the other
// pointer the call writes to.
DWORD CheckDialRecord(const RASDIALPARAMSA* params, const void* output) {
    if (params == nullptr || output == nullptr)
        return ERROR_INVALID_PARAMETER;
    return params->dwSize == sizeof(RASDIALPARAMSA) ? ERROR_SUCCESS : ERROR_INVALID_SIZE;
}

} // namespace

DWORD DialupService::GetEntryDialParams(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                                        LPBOOL lpfPassword) {
    PhoneBook book;
    const PhoneBookEntry* entry = nullptr;
    DWORD result = CheckDialRecord(lpRasDialParams, lpfPassword);
    if (result == ERROR_SUCCESS)
        result = FindEntry(lpszPhonebook, *lpRasDialParams, &book, &entry);
    if (result != ERROR_SUCCESS)
        return result;
    SetRasField(lpRasDialParams->szPhoneNumber, "");
    SetRasField(lpRasDialParams->szCallbackNumber, "");
    SetRasField(lpRasDialParams->szUserName, entry->userName);
    SetRasField(lpRasDialParams->szPassword, entry->password);
    SetRasField(lpRasDialParams->szDomain, entry->domain);
    *lpfPassword = entry->password.empty() ? FALSE : TRUE;
    return ERROR_SUCCESS;
}

DWORD DialupService::Dial(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                          DWORD dwNotifierType, LPVOID lpvNotifier, LPHRASCONN lphRasConn) {
    DWORD result = CheckDialRecord(lpRasDialParams, lphRasConn);
    if (result != ERROR_SUCCESS)
        return result;
    if (lpvNotifier != nullptr && dwNotifierType != RASNOTIFIER_HWND &&
        dwNotifierType != RASDIALFUNC_NOTIFIER)
        return ERROR_INVALID_PARAMETER;
    PhoneBook book;
    const PhoneBookEntry* entry = nullptr;
    result = FindEntry(lpszPhonebook, *lpRasDialParams, &book, &entry);
    if (result != ERROR_SUCCESS)
        return result;

    std::vector<std::string> outcomes = SplitOutcomes(entry->outcomes);
    std::string word = "connect";
    if (!outcomes.empty()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        unsigned& count = m_attemptsPerEntry[AsciiLowered(entry->name)];
        word = outcomes[std::min<std::size_t>(count, outcomes.size() - 1)];
        ++count;
    }
    bool passwordAccepted = !entry->hasServerPassword ||
                            RasFieldText(lpRasDialParams->szPassword) == entry->serverPassword;
    Plan plan;
    if (!MakePlan(word, passwordAccepted, &plan))
        return ERROR_CORRUPT_PHONEBOOK;
    if (plan.refusal != ERROR_SUCCESS)
        return plan.refusal;

    auto attempt = std::make_shared<Attempt>();
    attempt->connection.entryName = entry->name;
    attempt->connection.deviceType = "modem";
    attempt->connection.deviceName = entry->device.empty() ? "Skyvane Modem" : entry->device;
    attempt->steps = plan.steps;
    attempt->notifierType = dwNotifierType;
    attempt->notifier = lpvNotifier;
    attempt->stepMilliseconds = m_options.stepMilliseconds;
    attempt->stateDirectory = m_options.stateDirectory;
    if (lpvNotifier != nullptr && dwNotifierType == RASNOTIFIER_HWND) {
        UINT message = RegisterWindowMessageA("RasDialEvent");
        attempt->message = message != 0 ? message : WM_RASDIALEVENT;
    }
    ConnectionStore store(m_options.stateDirectory);
    result = store.Reserve(attempt->connection, &attempt->handle);
    if (result != ERROR_SUCCESS)
        return result;
    attempt->connection.handle = attempt->handle;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_attempts[attempt->handle] = attempt;
    }
    *lphRasConn = attempt->handle;

    // Without a notifier the caller waits for the outcome, as with Windows.
    if (lpvNotifier == nullptr)
        return attempt->Run();
    try {
        attempt->worker = std::thread([attempt] { attempt->Run(); });
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_attempts.erase(attempt->handle);
        }
        store.Remove(attempt->handle, true);
        *lphRasConn = 0;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

DWORD DialupService::HangUp(HRASCONN hRasConn) {
    if (hRasConn == 0)
        return ERROR_INVALID_HANDLE;
    std::shared_ptr<Attempt> attempt;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_attempts.find(hRasConn);
        if (found != m_attempts.end()) {
            attempt = found->second;
            m_attempts.erase(found);
        }
    }
    ConnectionStore store(m_options.stateDirectory);
    if (attempt == nullptr)
        return store.Remove(hRasConn, false);
    attempt->Stop();
    store.Remove(hRasConn, true);
    return ERROR_SUCCESS;
}

DWORD DialupService::GetErrorString(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize) {
    const char* text = RasErrorText(uErrorValue);
    if (text == nullptr)
        return ERROR_INVALID_PARAMETER;
    return CopyRasErrorText(text, lpszErrorString, cBufSize);
}

DWORD DialupService::EnumConnections(LPRASCONNA lpRasConn, LPDWORD lpcb, LPDWORD lpcConnections) {
    std::vector<RasConnection> connections;
    DWORD result = ConnectionStore(m_options.stateDirectory).List(&connections);
    if (result != ERROR_SUCCESS) {
        if (lpcConnections != nullptr)
            *lpcConnections = 0;
        return result;
    }
    return FillConnections(connections, lpRasConn, lpcb, lpcConnections);
}

} // namespace platform
