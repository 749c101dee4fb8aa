#include <windows.h>

#include "platform/clock.h"
#include "platform/clock_internal.h"

namespace gatekeeper::platform {
namespace {

CalendarTime calendarTime(const SYSTEMTIME& fields) {
  CalendarTime time;
  time.year = fields.wYear;
  time.month = fields.wMonth;
  time.dayOfWeek = fields.wDayOfWeek;
  time.day = fields.wDay;
  time.hour = fields.wHour;
  time.minute = fields.wMinute;
  time.second = fields.wSecond;
  time.milliseconds = fields.wMilliseconds;
  return time;
}

SYSTEMTIME systemTime(const CalendarTime& time) {
  SYSTEMTIME fields = {};
  fields.wYear = static_cast<WORD>(time.year);
  fields.wMonth = static_cast<WORD>(time.month);
  fields.wDayOfWeek = static_cast<WORD>(time.dayOfWeek);
  fields.wDay = static_cast<WORD>(time.day);
  fields.wHour = static_cast<WORD>(time.hour);
  fields.wMinute = static_cast<WORD>(time.minute);
  fields.wSecond = static_cast<WORD>(time.second);
  fields.wMilliseconds = static_cast<WORD>(time.milliseconds);
  return fields;
}

FileTime toFileTime(const FILETIME& time) {
  return internal::fileTimeFromHalves(time.dwHighDateTime, time.dwLowDateTime);
}

// The local zone's rules for one year (daylight-saving dates change between years); false
// when the system cannot tell them.
bool zoneRulesForYear(int year, TIME_ZONE_INFORMATION* rules) {
  DYNAMIC_TIME_ZONE_INFORMATION zone;
  if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return false;
  return GetTimeZoneInformationForYear(static_cast<USHORT>(year), &zone, rules) != 0;
}

}  // namespace

FileTime currentFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return toFileTime(now);
}

CalendarTime utcNow() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return calendarTime(now);
}

CalendarTime localNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return calendarTime(now);
}

CalendarTime localTimeAt(FileTime instant) {
  FILETIME utc;
  utc.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(instant) & 0xFFFFFFFFu);
  utc.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(instant) >> 32);
  SYSTEMTIME utcFields;
  SYSTEMTIME local = {};
  if (FileTimeToSystemTime(&utc, &utcFields)) {
    SystemTimeToTzSpecificLocalTime(nullptr, &utcFields, &local);
  }
  return calendarTime(local);
}

std::string formatTimeOfDay(const CalendarTime& local) {
  const SYSTEMTIME fields = systemTime(local);
  char text[256];
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &fields, nullptr, text,
                     sizeof text) == 0) {
    return std::string();
  }
  return text;
}

FileTime localMidnight(int year, int month, int day) {
  internal::Date date;
  if (!internal::rollOver(year, month, day, &date)) return kNotADate;
  SYSTEMTIME local = {};
  local.wYear = static_cast<WORD>(date.year);
  local.wMonth = static_cast<WORD>(date.month);
  local.wDay = static_cast<WORD>(date.day);
  TIME_ZONE_INFORMATION rules;
  const bool haveRules = zoneRulesForYear(date.year, &rules);
  SYSTEMTIME utc;
  if (!TzSpecificLocalTimeToSystemTime(haveRules ? &rules : nullptr, &local, &utc)) {
    return kNotADate;
  }
  FILETIME result;
  if (!SystemTimeToFileTime(&utc, &result)) return kNotADate;
  return toFileTime(result);
}

}  // namespace gatekeeper::platform
