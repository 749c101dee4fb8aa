#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace gatekeeper::platform {
namespace {

constexpr FileTime kHour = 3600 * kTicksPerSecond;
constexpr FileTime kDay = 24 * kHour;

FileTime unixSeconds(std::int64_t seconds) { return (seconds + 11644473600LL) * kTicksPerSecond; }

FileTime systemClockNow() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return unixSeconds(std::chrono::duration_cast<std::chrono::seconds>(since).count());
}

FileTime sinceMidnight(const CalendarTime& time) {
  return ((time.hour * 60LL + time.minute) * 60 + time.second) * kTicksPerSecond;
}

TEST(UtcMidnightTest, KnownInstants) {
  EXPECT_EQ(utcMidnight(1601, 1, 1), 0);
  EXPECT_EQ(utcMidnight(1970, 1, 1), unixSeconds(0));
  EXPECT_EQ(utcMidnight(2001, 3, 15), unixSeconds(984614400));
  EXPECT_EQ(utcMidnight(2038, 1, 19), unixSeconds(2147472000));
  EXPECT_EQ(utcMidnight(30827, 12, 31), utcMidnight(30828, 1, 1 - 1));
  EXPECT_NE(utcMidnight(30827, 12, 31), kNotADate);
}

TEST(UtcMidnightTest, MonthsAndDaysRollOver) {
  struct Case {
    int year, month, day, rolledYear, rolledMonth, rolledDay;
  };
  const Case cases[] = {
      {2000, 13, 1, 2001, 1, 1},    {2001, 2, 30, 2001, 3, 2},  {2001, 0, 10, 2000, 12, 10},
      {2001, 3, 0, 2001, 2, 28},    {2000, 3, 0, 2000, 2, 29},  {2001, 1, -1, 2000, 12, 30},
      {2001, -11, 1, 2000, 1, 1},   {2001, 25, 1, 2003, 1, 1},  {2001, 1, 366, 2002, 1, 1},
      {2037, 12, 32, 2038, 1, 1},   {1600, 13, 1, 1601, 1, 1},  {2001, 14, 31, 2002, 3, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utcMidnight(c.year, c.month, c.day),
              utcMidnight(c.rolledYear, c.rolledMonth, c.rolledDay))
        << c.month << "/" << c.day << "/" << c.year;
  }
}

TEST(UtcMidnightTest, OutsideTheFileTimeYearsIsNotADate) {
  EXPECT_EQ(utcMidnight(1600, 12, 31), kNotADate);
  EXPECT_EQ(utcMidnight(1601, 1, 0), kNotADate);
  EXPECT_EQ(utcMidnight(30828, 1, 1), kNotADate);
  EXPECT_EQ(utcMidnight(30827, 13, 1), kNotADate);
  EXPECT_EQ(utcMidnight(0, 1, 1), kNotADate);
  EXPECT_EQ(utcMidnight(-5, 3, 1), kNotADate);
  // Extreme numbers from a hand-edited file must not overflow anything.
  EXPECT_EQ(utcMidnight(INT_MAX, INT_MAX, INT_MAX), kNotADate);
  EXPECT_EQ(utcMidnight(INT_MIN, INT_MIN, INT_MIN), kNotADate);
  EXPECT_EQ(utcMidnight(2001, INT_MAX, 1), kNotADate);
  EXPECT_EQ(utcMidnight(2001, 1, INT_MAX), kNotADate);
  EXPECT_EQ(utcMidnight(2001, 1, INT_MIN), kNotADate);
  EXPECT_LT(kNotADate, utcMidnight(1601, 1, 1));
}

// Walking the calendar day by day: every valid date is exactly one day after the one before,
// and day 0 of a month is the last valid day before it.
TEST(UtcMidnightTest, CalendarWalkIsContinuous) {
  FileTime previous = utcMidnight(1899, 12, 31);
  int days = 0;
  for (int year = 1900; year <= 2100; ++year) {
    for (int month = 1; month <= 12; ++month) {
      EXPECT_EQ(utcMidnight(year, month, 0), previous);
      for (int day = 1; isCalendarDate(year, month, day); ++day) {
        const FileTime midnight = utcMidnight(year, month, day);
        ASSERT_EQ(midnight - previous, kDay) << month << "/" << day << "/" << year;
        previous = midnight;
        ++days;
      }
    }
  }
  EXPECT_EQ(days, 201 * 365 + 49);  // 1900 and 2100 are not leap years, 2000 is
}

TEST(IsCalendarDateTest, MonthLengthsAndYearRange) {
  EXPECT_TRUE(isCalendarDate(2000, 2, 29));
  EXPECT_FALSE(isCalendarDate(1900, 2, 29));
  EXPECT_FALSE(isCalendarDate(2001, 2, 29));
  EXPECT_TRUE(isCalendarDate(2004, 2, 29));
  EXPECT_TRUE(isCalendarDate(2001, 1, 31));
  EXPECT_FALSE(isCalendarDate(2001, 4, 31));
  EXPECT_FALSE(isCalendarDate(2001, 13, 1));
  EXPECT_FALSE(isCalendarDate(2001, 0, 1));
  EXPECT_FALSE(isCalendarDate(2001, 1, 0));
  EXPECT_TRUE(isCalendarDate(1601, 1, 1));
  EXPECT_FALSE(isCalendarDate(1600, 12, 31));
  EXPECT_TRUE(isCalendarDate(30827, 12, 31));
  EXPECT_FALSE(isCalendarDate(30828, 1, 1));
}

TEST(CurrentTimeTest, CalendarTimesAgreeWithTheInstant) {
  const FileTime now = currentFileTime();
  EXPECT_LT(std::llabs(now - systemClockNow()), 5 * kTicksPerSecond);

  const CalendarTime utc = utcNow();
  const FileTime utcNow = utcMidnight(utc.year, utc.month, utc.day) + sinceMidnight(utc);
  EXPECT_LT(std::llabs(utcNow - now), 5 * kTicksPerSecond);
  const std::int64_t daysSince1970 =
      (utcMidnight(utc.year, utc.month, utc.day) - unixSeconds(0)) / kDay;
  EXPECT_EQ(utc.dayOfWeek, (daysSince1970 + 4) % 7);  // 1 January 1970 was a Thursday
  EXPECT_GE(utc.milliseconds, 0);
  EXPECT_LE(utc.milliseconds, 999);

  const CalendarTime local = localNow();
  const FileTime localNow =
      localMidnight(local.year, local.month, local.day) + sinceMidnight(local);
  // Exact except on the day a daylight-saving change happened before this hour.
  EXPECT_LE(std::llabs(localNow - now), kHour + 5 * kTicksPerSecond);
}

// The suites below pin the local time zone. POSIX: they set TZ themselves. Windows: the zone is
// the one of the process's environment, so ctest runs this program once per zone with TZ set,
// and a suite whose zone the process does not have is skipped in that run.
class ZoneTest : public testing::Test {
 protected:
  // zone: an Olson name; standardBiasMinutes: minutes west of UTC outside daylight saving.
  void pinZone(const char* zone, int standardBiasMinutes) {
#ifdef _WIN32
    TIME_ZONE_INFORMATION info;
    GetTimeZoneInformation(&info);
    if (info.Bias != standardBiasMinutes) {
      GTEST_SKIP() << "runs in the ctest registration with TZ=" << zone;
    }
#else
    (void)standardBiasMinutes;
    ::setenv("TZ", zone, 1);
    ::tzset();
#endif
  }
};

class NewYorkTest : public ZoneTest {
 protected:
  void SetUp() override { pinZone("America/New_York", 300); }
};

class TokyoTest : public ZoneTest {
 protected:
  void SetUp() override { pinZone("Asia/Tokyo", -540); }
};

// How far local midnight of a date lies after UTC midnight of the same date.
FileTime offsetOn(int year, int month, int day) {
  return localMidnight(year, month, day) - utcMidnight(year, month, day);
}

TEST_F(NewYorkTest, DaylightSavingFollowsTheDateNotToday) {
  EXPECT_EQ(offsetOn(2001, 1, 15), 5 * kHour);
  EXPECT_EQ(offsetOn(2001, 7, 4), 4 * kHour);
  // 2001: summer time from 1 April 2:00 to 28 October 2:00; midnight on both days is before
  // the change.
  EXPECT_EQ(offsetOn(2001, 3, 20), 5 * kHour);
  EXPECT_EQ(offsetOn(2001, 4, 1), 5 * kHour);
  EXPECT_EQ(offsetOn(2001, 4, 2), 4 * kHour);
  EXPECT_EQ(offsetOn(2001, 10, 28), 4 * kHour);
  EXPECT_EQ(offsetOn(2001, 10, 29), 5 * kHour);
  // From 2007 summer time starts in March.
  EXPECT_EQ(offsetOn(2007, 3, 20), 4 * kHour);
  EXPECT_EQ(offsetOn(2037, 12, 31), 5 * kHour);
  EXPECT_EQ(offsetOn(2040, 7, 1), 4 * kHour);
}

TEST_F(NewYorkTest, RollOverAppliesToLocalDates) {
  EXPECT_EQ(localMidnight(2000, 13, 1), localMidnight(2001, 1, 1));
  EXPECT_EQ(localMidnight(2001, 2, 30), localMidnight(2001, 3, 2));
  EXPECT_EQ(localMidnight(2001, 0, 10), localMidnight(2000, 12, 10));
  EXPECT_EQ(localMidnight(2001, 6, 31), utcMidnight(2001, 7, 1) + 4 * kHour);
  EXPECT_EQ(localMidnight(30828, 1, 1), kNotADate);
  EXPECT_EQ(localMidnight(INT_MAX, INT_MAX, INT_MAX), kNotADate);
  // West of Greenwich the first file-time day still has a local midnight.
  EXPECT_GT(localMidnight(1601, 1, 1), 0);
}

TEST_F(TokyoTest, EastOfGreenwichMidnightFallsOnTheDayBefore) {
  EXPECT_EQ(localMidnight(2001, 3, 15), utcMidnight(2001, 3, 14) + 15 * kHour);
  EXPECT_EQ(offsetOn(2001, 7, 4), -9 * kHour);
  // Local midnight of the first file-time day lies before the first instant.
  EXPECT_EQ(localMidnight(1601, 1, 1), kNotADate);
  EXPECT_NE(localMidnight(1601, 1, 2), kNotADate);
}

#ifndef _WIN32
// Local midnight agrees with mktime (tm_isdst = -1) on every day, also in zones whose clocks
// jump over midnight or go back across it.
TEST(LocalMidnightTest, AgreesWithMktimeInZonesThatChangeAtMidnight) {
  const char* zones[] = {"America/New_York", "America/Sao_Paulo", "America/Havana",
                         "Asia/Beirut", "Asia/Gaza", "Asia/Tehran", "Asia/Tokyo"};
  const char* saved = std::getenv("TZ");
  const std::string savedZone = saved != nullptr ? saved : "";
  for (const char* zone : zones) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    int mismatches = 0;
    for (int days = 0; days < 60 * 366 && mismatches < 3; ++days) {
      const CalendarTime date = localTimeAt(utcMidnight(1980, 1, 1 + days) + 12 * kHour);
      struct tm fields = {};
      fields.tm_year = date.year - 1900;
      fields.tm_mon = date.month - 1;
      fields.tm_mday = date.day;
      fields.tm_isdst = -1;
      const FileTime expected = unixSeconds(::mktime(&fields));
      if (localMidnight(date.year, date.month, date.day) != expected) {
        ++mismatches;
        ADD_FAILURE() << zone << " " << date.year << "-" << date.month << "-" << date.day;
      }
    }
  }
  if (saved != nullptr) {
    ::setenv("TZ", savedZone.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}
#endif

TEST_F(NewYorkTest, LocalTimeAtAnInstant) {
  const CalendarTime summer =
      localTimeAt(utcMidnight(2001, 7, 4) + 3 * kHour + 7 * 60 * kTicksPerSecond);
  EXPECT_EQ(summer.year, 2001);
  EXPECT_EQ(summer.month, 7);
  EXPECT_EQ(summer.day, 3);
  EXPECT_EQ(summer.hour, 23);
  EXPECT_EQ(summer.minute, 7);
  const CalendarTime winter = localTimeAt(utcMidnight(2001, 3, 2) + 15 * kHour);
  EXPECT_EQ(winter.day, 2);
  EXPECT_EQ(winter.hour, 10);
  EXPECT_EQ(winter.dayOfWeek, 5);
}

CalendarTime timeOfDay(int hour, int minute) {
  CalendarTime time;
  time.year = 2001;
  time.month = 3;
  time.day = 2;
  time.dayOfWeek = 5;
  time.hour = hour;
  time.minute = minute;
  time.second = 12;
  return time;
}

TEST(FormatTimeOfDayTest, HoursAndMinutesWithoutSeconds) {
#ifdef _WIN32
  // The default user locale decides the form; it never shows the seconds.
  const std::string text = formatTimeOfDay(timeOfDay(15, 45));
  EXPECT_NE(text.find("45"), std::string::npos) << text;
  EXPECT_EQ(text.find("12"), std::string::npos) << text;
  EXPECT_EQ(text.find(','), std::string::npos) << text;
#else
  EXPECT_EQ(formatTimeOfDay(timeOfDay(15, 45)), "3:45 PM");
  EXPECT_EQ(formatTimeOfDay(timeOfDay(0, 5)), "12:05 AM");
  EXPECT_EQ(formatTimeOfDay(timeOfDay(9, 0)), "9:00 AM");
  EXPECT_EQ(formatTimeOfDay(timeOfDay(12, 0)), "12:00 PM");
  EXPECT_EQ(formatTimeOfDay(timeOfDay(11, 59)), "11:59 AM");
  EXPECT_EQ(formatTimeOfDay(timeOfDay(23, 59)), "11:59 PM");
#endif
}

}  // namespace
}  // namespace gatekeeper::platform
