// CTime and CTimeSpan on 64-bit seconds, local dates through the C library.
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <limits>

static_assert(sizeof(std::time_t) >= 8, "times are 64-bit seconds on every platform we build");

namespace platform {
namespace {

std::atomic<ClockBackend*> g_clock{nullptr};

// Local calendar fields of a time; false when the C library cannot represent it.
bool LocalFields(std::int64_t time, std::tm* fields) {
    // localtime_r need not look at TZ again after its first call; tzset makes a zone set later
    // (by a test, or a user changing zones while the launcher runs) count, as mktime does.
    tzset();
    std::time_t t = static_cast<std::time_t>(time);
    return localtime_r(&t, fields) != nullptr;
}

int LocalField(std::int64_t time, int std::tm::*field, int offset) {
    std::tm fields{};
    if (!LocalFields(time, &fields)) {
        return 0;
    }
    return fields.*field + offset;
}

} // namespace

void InstallClock(ClockBackend* backend) {
    g_clock.store(backend);
}

ClockBackend* InstalledClock() {
    return g_clock.load();
}

} // namespace platform

CTimeSpan::CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs)
    : m_timeSpan(static_cast<std::int64_t>(lDays) * 86400 +
                 static_cast<std::int64_t>(nHours) * 3600 + static_cast<std::int64_t>(nMins) * 60 +
                 nSecs) {}

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) {
    std::tm fields{};
    // Computed in 64 bits: a year near INT_MIN must not overflow on the way into tm_year.
    // The month is carried into the year here, in 64 bits too: mktime would do the same, but
    // month INT_MIN has no tm_mon.
    std::int64_t month = static_cast<std::int64_t>(nMonth) - 1;
    std::int64_t year = static_cast<std::int64_t>(nYear) - 1900 + month / 12;
    month %= 12;
    if (month < 0) {
        month += 12;
        --year;
    }
    if (year < std::numeric_limits<int>::min() || year > std::numeric_limits<int>::max()) {
        m_time = -1;
        return;
    }
    fields.tm_year = static_cast<int>(year);
    fields.tm_mon = static_cast<int>(month);
    fields.tm_mday = nDay;
    fields.tm_hour = nHour;
    fields.tm_min = nMin;
    fields.tm_sec = nSec;
    fields.tm_isdst = nDST;
    // mktime's -1 is also the real time 1969-12-31 23:59:59 UTC; both end up as -1 here.
    m_time = static_cast<std::int64_t>(mktime(&fields));
}

CTime CTime::GetCurrentTime() {
    if (platform::ClockBackend* clock = platform::InstalledClock()) {
        return CTime(clock->Now());
    }
    using namespace std::chrono;
    return CTime(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

int CTime::GetYear() const {
    return platform::LocalField(m_time, &std::tm::tm_year, 1900);
}
int CTime::GetMonth() const {
    return platform::LocalField(m_time, &std::tm::tm_mon, 1);
}
int CTime::GetDay() const {
    return platform::LocalField(m_time, &std::tm::tm_mday, 0);
}
int CTime::GetHour() const {
    return platform::LocalField(m_time, &std::tm::tm_hour, 0);
}
int CTime::GetMinute() const {
    return platform::LocalField(m_time, &std::tm::tm_min, 0);
}
int CTime::GetSecond() const {
    return platform::LocalField(m_time, &std::tm::tm_sec, 0);
}
int CTime::GetDayOfWeek() const {
    return platform::LocalField(m_time, &std::tm::tm_wday, 1);
}
