// The calendar arithmetic of the clock, the same on every platform.
#include "platform/clock.h"

#include "platform/clock_internal.h"

namespace gatekeeper::platform {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t floorDivide(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar (month 1-12,
// day 1-31), for any year that fits.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = floorDivide(year, 400);
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// The inverse of daysFromCivil.
internal::Date civilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = floorDivide(days, 146097);
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2);
  return internal::Date{static_cast<int>(year), month, day};
}

// Days from 1970-01-01 to the rolled-over date; false outside the years of file times.
bool rolledOverDays(int year, int month, int day, std::int64_t* days) {
  const std::int64_t months = static_cast<std::int64_t>(year) * 12 + (month - 1LL);
  const std::int64_t wholeYear = floorDivide(months, 12);
  const int firstMonth = static_cast<int>(months - wholeYear * 12) + 1;
  const std::int64_t result = daysFromCivil(wholeYear, firstMonth, 1) + (day - 1LL);
  if (result < daysFromCivil(kFirstFileTimeYear, 1, 1) ||
      result > daysFromCivil(kLastFileTimeYear, 12, 31)) {
    return false;
  }
  *days = result;
  return true;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

namespace internal {

bool rollOver(int year, int month, int day, Date* out) {
  std::int64_t days;
  if (!rolledOverDays(year, month, day, &days)) return false;
  *out = civilFromDays(days);
  return true;
}

}  // namespace internal

bool isCalendarDate(int year, int month, int day) {
  static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < kFirstFileTimeYear || year > kLastFileTimeYear) return false;
  if (month < 1 || month > 12 || day < 1) return false;
  const int last = kDaysInMonth[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
  return day <= last;
}

FileTime utcMidnight(int year, int month, int day) {
  std::int64_t days;
  if (!rolledOverDays(year, month, day, &days)) return kNotADate;
  return internal::fileTimeFromUnixSeconds(days * kSecondsPerDay);
}

}  // namespace gatekeeper::platform
