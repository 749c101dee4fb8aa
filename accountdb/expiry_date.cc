#include "accountdb/expiry_date.h"

#include <climits>

namespace gatekeeper::accountdb {
namespace {

bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one "%d" number at *text and moves past it; false when no digits follow the optional
// white space and sign. Saturates instead of overflowing.
bool readNumber(const char** text, int* value) {
  const char* p = *text;
  while (isWhiteSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return false;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (*p - '0');
  }
  if (negative) {
    *value = magnitude > -static_cast<long long>(INT_MIN) ? INT_MIN
                                                           : static_cast<int>(-magnitude);
  } else {
    *value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
  }
  *text = p;
  return true;
}

}  // namespace

bool parseExpiryDate(const char* text, ExpiryDate* date) {
  if (text == nullptr) return false;
  return readNumber(&text, &date->month) && *text++ == '/' && readNumber(&text, &date->day) &&
         *text++ == '/' && readNumber(&text, &date->year);
}

ExpiryDateWarning judgeExpiryDate(const char* text) {
  if (text == nullptr || *text == '\0') return ExpiryDateWarning::kNone;
  ExpiryDate date;
  if (!parseExpiryDate(text, &date)) return ExpiryDateWarning::kUnreadable;
  return isAfterLastExpiryYear(date) ? ExpiryDateWarning::kAfterLastYear
                                     : ExpiryDateWarning::kNone;
}

platform::FileTime localExpiryMoment(const ExpiryDate& date) {
  return platform::localMidnight(date.year, date.month, date.day);
}

platform::FileTime utcExpiryMoment(const ExpiryDate& date) {
  if (!platform::isCalendarDate(date.year, date.month, date.day)) return platform::kNotADate;
  return platform::utcMidnight(date.year, date.month, date.day);
}

bool isExpiredAt(const ExpiryDate& date, platform::FileTime now) {
  const platform::FileTime wholeSecond = now - now % platform::kTicksPerSecond;
  // A time zone's offset is less than a day, so a date whose midnight in UTC is days away
  // from now is decided without asking the zone (which takes the C library's global lock on
  // every decision). Near the last representable year the local midnight may not exist: there
  // the zone decides.
  constexpr platform::FileTime kMargin = 3 * 24 * 3600 * platform::kTicksPerSecond;
  static const platform::FileTime lastSafeMidnight =
      platform::utcMidnight(platform::kLastFileTimeYear, 12, 31) - kMargin;
  const platform::FileTime utc = platform::utcMidnight(date.year, date.month, date.day);
  if (utc != platform::kNotADate) {
    if (utc < wholeSecond - kMargin) return true;
    if (utc > wholeSecond + kMargin && utc < lastSafeMidnight) return false;
  }
  const platform::FileTime moment = localExpiryMoment(date);
  if (moment == platform::kNotADate) return true;
  return moment < wholeSecond;
}

}  // namespace gatekeeper::accountdb
