#include "platform/clock_fake.h"
#include "support/Environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

#ifdef _WIN32
// Wine's C runtime, once TZ is removed and the system's zone taken, applies no daylight-saving
// time to a TZ set later (Windows documents the US rules for it). So that no test's zone guard
// removes TZ, the tests start from a zone of their own there.
[[maybe_unused]] const bool g_zoneOfOurOwn =
    std::getenv("TZ") != nullptr || _putenv_s("TZ", "UTC0") == 0;
#endif

// Zones as POSIX TZ rules, so the tests need no zone database. The Windows C runtime reads only
// the names and the offset and applies the United States' daylight-saving rules to any zone
// with a daylight name; the rows below are chosen so that both readings agree, but where one
// does not.
constexpr const char* kUtc = "UTC0";
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";
// Daylight-saving time begins at midnight: 00:00 of that day does not exist.
constexpr const char* kMidnightShift = "XST3XDT,M10.1.0/0,M2.3.0/0";

class TimeTest : public testing::Test {
  protected:
    void TearDown() override { platform::InstallClock(nullptr); }
    static void Zone(const char* tz) { TimeZoneGuard::Set(tz); }

  private:
    TimeZoneGuard m_zone;
};

struct MidnightRow {
    const char* zone;
    int year, month, day;
    std::int64_t expected; // seconds since 1970 UTC
    // Before 1970 or after the year 3000 (UTC): the Windows C runtime's mktime documents -1
    // there, and its localtime gives no fields; the launcher's own dates never go there.
    bool beyondWindows = false;
};

#ifdef _WIN32
constexpr bool kWindowsRuntime = true;
#else
constexpr bool kWindowsRuntime = false;
#endif

TEST_F(TimeTest, LocalMidnightFollowsTheZoneAndItsDaylightSavingRule) {
    const MidnightRow rows[] = {
        {kUtc, 1996, 11, 5, 847152000},
        {kUtc, 1970, 1, 1, 0},
        {kUtc, 1969, 12, 31, -86400, true},
        {kBerlin, 1996, 11, 5, 847152000 - 3600},    // winter: UTC+1
        {kBerlin, 2024, 7, 1, 1719784800},           // summer: UTC+2
        {kNewYork, 2024, 1, 1, 1704085200},          // EST
        {kNewYork, 2024, 3, 10, 1710046800},         // day of the change, still EST at 0:00
        {kNewYork, 2024, 3, 11, 1710046800 + 82800}, // the day had 23 hours
        {kNewYork, 2024, 11, 4, 1730696400},         // after the change back: EST
        // Beyond 2038 and far beyond.
        {kUtc, 2038, 1, 20, 2147558400},
        {kUtc, 2100, 3, 1, 4107542400},
        {kNewYork, 2040, 7, 4, 2224987200},
        {kUtc, 3000, 12, 31, 32535129600},
        {kUtc, 3001, 1, 1, 32535216000, true},
        {kUtc, 10000, 1, 1, 253402300800, true},
    };
    for (const MidnightRow& row : rows) {
        Zone(row.zone);
        CTime midnight(row.year, row.month, row.day, 0, 0, 0);
        if (kWindowsRuntime && row.beyondWindows) {
            EXPECT_EQ(midnight.GetTime(), -1) << row.zone << " " << row.year;
            continue;
        }
        EXPECT_EQ(midnight.GetTime(), row.expected)
            << row.zone << " " << row.year << "-" << row.month << "-" << row.day;
        EXPECT_EQ(midnight.GetYear(), row.year) << row.zone;
        EXPECT_EQ(midnight.GetMonth(), row.month) << row.zone;
        EXPECT_EQ(midnight.GetDay(), row.day) << row.zone;
        EXPECT_EQ(midnight.GetHour(), 0) << row.zone;
    }
}

TEST_F(TimeTest, MidnightThatDoesNotExistMovesIntoTheDay) {
    Zone(kMidnightShift);
    CTime day(2023, 10, 1, 0, 0, 0);
    EXPECT_EQ(day.GetDay(), 1);
    // The Windows C runtime ignores the zone's own rule and changes on the US dates at 2:00,
    // so this midnight exists there.
    EXPECT_EQ(day.GetHour(), kWindowsRuntime ? 0 : 1);
    EXPECT_EQ((day - CTime(2023, 9, 30, 0, 0, 0)).GetTotalSeconds(), 86400);
}

TEST_F(TimeTest, FieldsOutOfRangeCarryOverAsMktimeDoes) {
    Zone(kUtc);
    EXPECT_EQ(CTime(1996, 13, 40, 0, 0, 0), CTime(1997, 2, 9, 0, 0, 0));
    EXPECT_EQ(CTime(1996, 11, 5, 24, 0, 0), CTime(1996, 11, 6, 0, 0, 0));
    EXPECT_EQ(CTime(1996, 0, 5, 0, 0, 0), CTime(1995, 12, 5, 0, 0, 0));
    EXPECT_EQ(CTime(1996, -11, -5, 0, 0, 0), CTime(1994, 12, 26, 0, 0, 0));
    EXPECT_EQ(CTime(1996, std::numeric_limits<int>::min(), 1, 0, 0, 0),
              CTime(1996 - 178956971, 4, 1, 0, 0, 0))
        << "the lowest month, without overflow";
    EXPECT_EQ(CTime(std::numeric_limits<int>::min(), 1, 1, 0, 0, 0).GetTime(), -1)
        << "a year the C library cannot hold";
}

TEST_F(TimeTest, LocalFieldsOfATime) {
    Zone(kBerlin);
    CTime t(1719838862); // 2024-07-01 13:01:02 UTC, 15:01:02 in Berlin, a Monday
    EXPECT_EQ(t.GetYear(), 2024);
    EXPECT_EQ(t.GetMonth(), 7);
    EXPECT_EQ(t.GetDay(), 1);
    EXPECT_EQ(t.GetHour(), 15);
    EXPECT_EQ(t.GetMinute(), 1);
    EXPECT_EQ(t.GetSecond(), 2);
    EXPECT_EQ(t.GetDayOfWeek(), 2);
    // A change of zone while the program runs is seen at once.
    Zone(kNewYork);
    EXPECT_EQ(t.GetHour(), 9);
}

TEST_F(TimeTest, SpansCountWholeDaysTruncatingTowardZero) {
    EXPECT_EQ(CTimeSpan(11, 0, 0, 0).GetTotalSeconds(), 950400);
    EXPECT_EQ(CTimeSpan(1, 2, 3, 4).GetTotalSeconds(), 93784);
    const std::pair<std::int64_t, std::int64_t> rows[] = {
        {0, 0},      {86399, 0},   {86400, 1},    {863999, 9},           {864000, 10},
        {-86399, 0}, {-86400, -1}, {-172799, -1}, {1LL << 40, 12725829},
    };
    for (auto [seconds, days] : rows) {
        EXPECT_EQ(CTimeSpan(seconds).GetDays(), days) << seconds;
    }
    CTimeSpan span(1, 2, 3, 4);
    EXPECT_EQ(span.GetHours(), 2);
    EXPECT_EQ(span.GetMinutes(), 3);
    EXPECT_EQ(span.GetSeconds(), 4);

    CTime base(3000000000LL);
    EXPECT_EQ((base + CTimeSpan(11, 0, 0, 0) - base).GetTotalSeconds(), 950400);
    EXPECT_EQ((base - CTimeSpan(11, 0, 0, 0)).GetTime(), 3000000000LL - 950400);
}

TEST_F(TimeTest, CurrentTimeComesFromTheInstalledClock) {
    platform::FakeClock clock(4102444800LL); // 2100-01-01 UTC
    platform::InstallClock(&clock);
    EXPECT_EQ(CTime::GetCurrentTime().GetTime(), 4102444800LL);
    clock.Advance(-1);
    EXPECT_EQ(CTime::GetCurrentTime().GetTime(), 4102444799LL);
    platform::InstallClock(nullptr);
    // Without one, the system's clock: some time after this code was written.
    EXPECT_GT(CTime::GetCurrentTime().GetTime(), 1700000000LL);
}

} // namespace
