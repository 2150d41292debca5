// Helpers of the dial-up service tests: a private folder per test, phone-book files, and a
// notifier that collects what the service reports. They build for Linux and for Windows.
#pragma once

#include "platform/ras.h"
#include "platform/ras_service.h"

#include "support/TempDir.h"
#include "support/TextFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace dialup_test {

struct Notification {
    DWORD state;
    DWORD error;
    bool operator==(const Notification&) const = default;
};

// Collects the notifications of RASDIALFUNC notifiers (they have no context, so one per test
// program).
class Collector {
  public:
    static Collector& Instance() {
        static Collector collector;
        return collector;
    }
    static void Callback(UINT message, RASCONNSTATE state, DWORD error) {
        Instance().Add(message, state, error);
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seen.clear();
        m_messages.clear();
    }
    void Add(UINT message, DWORD state, DWORD error) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_seen.push_back({state, error});
            m_messages.push_back(message);
        }
        m_wake.notify_all();
    }
    // Waits for a notification that ends the attempt (an error or a final state).
    bool WaitForEnd(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_wake.wait_for(lock, limit, [this] {
            return !m_seen.empty() &&
                   (m_seen.back().error != 0 || (m_seen.back().state & RASCS_DONE) != 0);
        });
    }
    bool WaitForCount(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_wake.wait_for(lock, limit, [&] { return m_seen.size() >= count; });
    }
    std::vector<Notification> Seen() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }
    std::vector<UINT> Messages() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Notification> m_seen;
    std::vector<UINT> m_messages;
};

inline std::size_t FileCount(const std::filesystem::path& folder) {
    std::error_code error;
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); ++it)
        ++count;
    return count;
}

inline RASDIALPARAMSA DialParams(const std::string& entry, const std::string& user = "",
                                 const std::string& password = "") {
    RASDIALPARAMSA params{};
    params.dwSize = sizeof params;
    platform::SetRasField(params.szEntryName, entry);
    platform::SetRasField(params.szUserName, user);
    platform::SetRasField(params.szPassword, password);
    return params;
}

// Dials an entry without a notifier, so the call waits for the outcome; its handle goes to
// *handle.
inline DWORD DialAndWaitInCall(const std::string& entry, HRASCONN* handle) {
    RASDIALPARAMSA params = DialParams(entry);
    return RasDialA(nullptr, nullptr, &params, 0, nullptr, handle);
}

// Names of the connections that are up, through the Windows buffer protocol.
inline std::vector<std::string> ConnectionNames(DWORD* result = nullptr) {
    std::vector<RASCONNA> records(8);
    records[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = static_cast<DWORD>(records.size() * sizeof(RASCONNA));
    DWORD count = 0;
    DWORD code = RasEnumConnectionsA(records.data(), &bytes, &count);
    if (result != nullptr)
        *result = code;
    std::vector<std::string> names;
    for (DWORD i = 0; code == ERROR_SUCCESS && i < count; ++i)
        names.push_back(platform::RasFieldText(records[i].szEntryName));
    return names;
}

} // namespace dialup_test
