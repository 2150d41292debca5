// Environment variables changed for the length of a test and put back afterwards. On Windows
// through the C runtime, whose changes reach the process's environment (and so its children).
#pragma once

#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
inline int setenv(const char* name, const char* value, int) {
    return _putenv_s(name, value);
}
inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}
#endif

// Sets the variable, or unsets it when `value` is null.
inline void SetOrUnset(const char* name, const char* value) {
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

// Keeps the named variables as they are at construction (set or not) and puts them back when
// it goes, or at Restore().
class EnvironmentGuard {
  public:
    EnvironmentGuard(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                                        : std::nullopt);
        }
    }
    ~EnvironmentGuard() { Restore(); }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

    void Restore() const {
        for (const auto& [name, value] : m_saved) {
            SetOrUnset(name.c_str(), value ? value->c_str() : nullptr);
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// One variable set to `value` while the object lives.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : m_guard({name}) {
        setenv(name, value.c_str(), 1);
    }

  private:
    EnvironmentGuard m_guard;
};

// The local time zone (TZ, read at once by tzset) for the length of a test; the zone before it
// comes back afterwards.
class TimeZoneGuard {
  public:
    ~TimeZoneGuard() {
        m_tz.Restore();
        tzset();
    }
    // A POSIX zone rule such as "EST5EDT,M3.2.0,M11.1.0".
    static void Set(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

  private:
    EnvironmentGuard m_tz{"TZ"};
};
