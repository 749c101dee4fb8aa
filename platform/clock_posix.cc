#include <time.h>

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

std::string formatTimeOfDay(const CalendarTime& local) {
  const int hour12 = local.hour % 12 == 0 ? 12 : local.hour % 12;
  std::string text = std::to_string(hour12) + ":";
  if (local.minute < 10) text += '0';
  text += std::to_string(local.minute);
  text += local.hour < 12 ? " AM" : " PM";
  return text;
}

FileTime localMidnight(int year, int month, int day) {
  internal::Date date;
  if (!internal::rollOver(year, month, day, &date)) return kNotADate;
  struct tm fields = {};
  fields.tm_year = date.year - 1900;
  fields.tm_mon = date.month - 1;
  fields.tm_mday = date.day;
  fields.tm_isdst = -1;  // let the zone's rules for that date decide
  const time_t seconds = ::mktime(&fields);
  if (seconds == static_cast<time_t>(-1)) return kNotADate;
  const FileTime result = internal::fileTimeFromUnixSeconds(seconds);
  return result < 0 ? kNotADate : result;
}

}  // namespace gatekeeper::platform
