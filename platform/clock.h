// Clock services: the current time, UTC and local calendar times, the local time of day as
// text, and calendar dates as instants. An instant is a FileTime: 100 ns ticks since
// 1601-01-01 00:00:00 UTC, the scale of lastWriteTime in platform/files.h, so instants compare
// as plain 64-bit numbers.
#ifndef GATEKEEPER_PLATFORM_CLOCK_H_
#define GATEKEEPER_PLATFORM_CLOCK_H_

#include <cstdint>
#include <limits>
#include <string>

namespace gatekeeper::platform {

using FileTime = std::int64_t;

inline constexpr FileTime kTicksPerSecond = 10000000;

// The result for a calendar date that cannot be an instant. It lies before every instant, so
// a comparison that forgets to test for it treats the date as long past.
inline constexpr FileTime kNotADate = std::numeric_limits<FileTime>::min();

// The years that instants can carry (those of the Windows SYSTEMTIME and FILETIME).
inline constexpr int kFirstFileTimeYear = 1601;
inline constexpr int kLastFileTimeYear = 30827;

// A calendar time in the fields of the Windows SYSTEMTIME: month 1-12, dayOfWeek 0 (Sunday)
// to 6, day 1-31, hour 0-23, minute and second 0-59, milliseconds 0-999.
struct CalendarTime {
  int year = 0;
  int month = 0;
  int dayOfWeek = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

// The current instant.
FileTime currentFileTime();

// The current time as a UTC calendar time and as a calendar time of the local time zone.
CalendarTime utcNow();
CalendarTime localNow();
// An instant as a calendar time of the local time zone.
CalendarTime localTimeAt(FileTime instant);

// The time of day of a local calendar time, hours and minutes without seconds. Windows: as the
// default user locale formats it (GetTimeFormatA with TIME_NOSECONDS, "3:45 PM" or "15:45").
// Elsewhere "h:mm AM" / "h:mm PM" (0:05 is "12:05 AM", 12:00 is "12:00 PM").
std::string formatTimeOfDay(const CalendarTime& local);

// Whether year, month and day name a day of the calendar as they stand: month 1-12, day within
// that month (29 February only in leap years), year kFirstFileTimeYear to kLastFileTimeYear.
bool isCalendarDate(int year, int month, int day);

// 00:00:00 at the start of a calendar date, in UTC or in local time. A month or day outside
// its range rolls over into the neighbouring months and years: month 13 of 2000 is January
// 2001, 30 February 2001 is 2 March 2001, month 0 of 2001 is December 2000, day 0 is the last
// day of the month before. Local time takes the daylight-saving rule that holds on that date
// in that year, not the one in force now. kNotADate when the rolled-over date, or its local
// midnight, lies outside the years of file times. Callers that must not roll over test
// isCalendarDate first.
FileTime utcMidnight(int year, int month, int day);
FileTime localMidnight(int year, int month, int day);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_CLOCK_H_
