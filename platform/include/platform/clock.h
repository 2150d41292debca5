// The clock service: calendar times in 64-bit seconds since 1970-01-01 00:00:00 UTC (no 2038
// limit), converted to and from local dates with the C library's rules for the zone in TZ.
// CTime::GetCurrentTime asks the backend installed with InstallClock.
#pragma once

#include "platform/windef.h"

#include <compare>
#include <cstdint>

// A signed span of whole seconds.
class CTimeSpan {
  public:
    CTimeSpan() = default;
    CTimeSpan(std::int64_t seconds) : m_timeSpan(seconds) {}
    CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs);

    std::int64_t GetTotalSeconds() const { return m_timeSpan; }
    // Whole days, hours, minutes: truncated toward zero.
    std::int64_t GetDays() const { return m_timeSpan / 86400; }
    std::int64_t GetTotalHours() const { return m_timeSpan / 3600; }
    std::int64_t GetTotalMinutes() const { return m_timeSpan / 60; }
    // The parts of the span below a day, below an hour, below a minute.
    LONG GetHours() const { return static_cast<LONG>(m_timeSpan / 3600 % 24); }
    LONG GetMinutes() const { return static_cast<LONG>(m_timeSpan / 60 % 60); }
    LONG GetSeconds() const { return static_cast<LONG>(m_timeSpan % 60); }

    CTimeSpan operator+(CTimeSpan other) const { return m_timeSpan + other.m_timeSpan; }
    CTimeSpan operator-(CTimeSpan other) const { return m_timeSpan - other.m_timeSpan; }
    CTimeSpan& operator+=(CTimeSpan other) {
        m_timeSpan += other.m_timeSpan;
        return *this;
    }
    CTimeSpan& operator-=(CTimeSpan other) {
        m_timeSpan -= other.m_timeSpan;
        return *this;
    }
    CTimeSpan operator-() const { return -m_timeSpan; }
    auto operator<=>(const CTimeSpan&) const = default;

  private:
    std::int64_t m_timeSpan = 0;
};

class CTime {
  public:
    CTime() = default;
    CTime(std::int64_t time) : m_time(time) {}
    // Local time of that date and hour, by mktime: fields out of range carry over (month 13 is
    // January of the next year), nDST -1 lets the zone's rules decide on daylight-saving time.
    // A date the C library cannot convert gives the time -1.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);

    // Now, from the installed clock (the system clock when none is installed).
    static CTime GetCurrentTime();

    std::int64_t GetTime() const { return m_time; }
    // Local calendar fields. All are 0 for a time the C library cannot convert (far beyond
    // year 2^31).
    int GetYear() const;
    int GetMonth() const;     // 1 to 12
    int GetDay() const;       // 1 to 31
    int GetHour() const;      // 0 to 23
    int GetMinute() const;    // 0 to 59
    int GetSecond() const;    // 0 to 60
    int GetDayOfWeek() const; // 1 (Sunday) to 7

    CTimeSpan operator-(CTime other) const { return m_time - other.m_time; }
    CTime operator+(CTimeSpan span) const { return m_time + span.GetTotalSeconds(); }
    CTime operator-(CTimeSpan span) const { return m_time - span.GetTotalSeconds(); }
    CTime& operator+=(CTimeSpan span) {
        m_time += span.GetTotalSeconds();
        return *this;
    }
    CTime& operator-=(CTimeSpan span) {
        m_time -= span.GetTotalSeconds();
        return *this;
    }
    auto operator<=>(const CTime&) const = default;

  private:
    std::int64_t m_time = 0;
};

namespace platform {

class ClockBackend {
  public:
    virtual ~ClockBackend() = default;
    // Seconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t Now() = 0;
};

// Installs the backend behind CTime::GetCurrentTime (not owned; null uninstalls).
void InstallClock(ClockBackend* backend);
ClockBackend* InstalledClock();

} // namespace platform
