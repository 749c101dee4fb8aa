#include <time.h>

#include <cstdint>
#include <initializer_list>

#include "platform/clock.h"
#include "platform/clock_internal.h"

namespace gatekeeper::platform {
namespace {

struct timespec now() {
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return ts;
}

CalendarTime calendarTime(const struct tm& fields, long nanoseconds) {
  CalendarTime time;
  time.year = fields.tm_year + 1900;
  time.month = fields.tm_mon + 1;
  time.dayOfWeek = fields.tm_wday;
  time.day = fields.tm_mday;
  time.hour = fields.tm_hour;
  time.minute = fields.tm_min;
  time.second = fields.tm_sec > 59 ? 59 : fields.tm_sec;  // a leap second stays in its minute
  time.milliseconds = static_cast<int>(nanoseconds / 1000000);
  return time;
}

}  // namespace

FileTime currentFileTime() {
  const struct timespec ts = now();
  return internal::fileTimeFromUnixSeconds(ts.tv_sec) + ts.tv_nsec / 100;
}

CalendarTime utcNow() {
  const struct timespec ts = now();
  struct tm fields;
  ::gmtime_r(&ts.tv_sec, &fields);
  return calendarTime(fields, ts.tv_nsec);
}

CalendarTime localNow() {
  const struct timespec ts = now();
  struct tm fields;
  ::localtime_r(&ts.tv_sec, &fields);
  return calendarTime(fields, ts.tv_nsec);
}

CalendarTime localTimeAt(FileTime instant) {
  const FileTime sinceUnixEpoch = instant - internal::fileTimeFromUnixSeconds(0);
  FileTime seconds = sinceUnixEpoch / kTicksPerSecond;
  FileTime ticks = sinceUnixEpoch % kTicksPerSecond;
  if (ticks < 0) {
    --seconds;
    ticks += kTicksPerSecond;
  }
  const time_t unixSeconds = static_cast<time_t>(seconds);
  struct tm fields;
  ::localtime_r(&unixSeconds, &fields);
  return calendarTime(fields, static_cast<long>(ticks * 100));
}

std::string formatTimeOfDay(const CalendarTime& local) {
  const int hour12 = local.hour % 12 == 0 ? 12 : local.hour % 12;
  std::string text = std::to_string(hour12) + ":";
  if (local.minute < 10) text += '0';
  text += std::to_string(local.minute);
  text += local.hour < 12 ? " AM" : " PM";
  return text;
}

// Local midnight is found with localtime_r, which reads the zone once per process (mktime
// looks at the zone file again on every call). The result is mktime's with tm_isdst = -1: of
// two local midnights (the clock was put back over it) the earlier, and where the clock
// jumped over midnight, midnight taken with the offset in force before the jump.
FileTime localMidnight(int year, int month, int day) {
  internal::Date date;
  if (!internal::rollOver(year, month, day, &date)) return kNotADate;
  const std::int64_t wallSeconds =
      (utcMidnight(date.year, date.month, date.day) - internal::fileTimeFromUnixSeconds(0)) /
      kTicksPerSecond;
  bool ok = true;
  // The offsets already asked for: away from a change of offset the candidates below coincide,
  // and each localtime_r costs a pass through the zone's rules under the C library's lock.
  struct Known {
    std::int64_t seconds;
    std::int64_t offset;
  };
  Known known[7];
  int knownCount = 0;
  const auto offsetAt = [&](std::int64_t seconds) -> std::int64_t {
    for (int i = 0; i < knownCount; ++i) {
      if (known[i].seconds == seconds) return known[i].offset;
    }
    const time_t instant = static_cast<time_t>(seconds);
    struct tm fields;
    if (::localtime_r(&instant, &fields) == nullptr) {
      ok = false;
      return 0;
    }
    if (knownCount < 7) known[knownCount++] = Known{seconds, fields.tm_gmtoff};
    return fields.tm_gmtoff;
  };
  const std::int64_t guess = wallSeconds - offsetAt(wallSeconds - offsetAt(wallSeconds));
  constexpr std::int64_t kHalfDay = 43200;
  const std::int64_t before = wallSeconds - offsetAt(guess - kHalfDay);
  const std::int64_t after = wallSeconds - offsetAt(guess + kHalfDay);
  std::int64_t result = before;
  bool found = false;
  for (const std::int64_t candidate : {guess, before, after}) {
    if (offsetAt(candidate) == wallSeconds - candidate && (!found || candidate < result)) {
      result = candidate;
      found = true;
    }
  }
  if (!ok) return kNotADate;
  const FileTime midnight = internal::fileTimeFromUnixSeconds(result);
  return midnight < 0 ? kNotADate : midnight;
}

}  // namespace gatekeeper::platform
