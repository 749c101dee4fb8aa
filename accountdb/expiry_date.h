// The expiry date of a user: the text value expiredate, read as month/day/year.
//
// A date whose numbers name no day of the calendar, or a day outside the years that instants
// can carry (platform/clock.h), has no moment of expiry: its moment is platform::kNotADate.
// Callers treat it so:
//   - the filter rolls months and days over, so only a year out of range is left; it refuses
//     the account as expired (isExpiredAt), failing closed;
//   - the password page does not roll over (utcExpiryMoment); it shows such a date as one that
//     does not read ("invalid date format");
//   - the log viewer compares days with utcExpiryMoment too: a filter date without a moment is
//     an invalid date (no date filter), a line whose date has none is shown.
#ifndef GATEKEEPER_ACCOUNTDB_EXPIRY_DATE_H_
#define GATEKEEPER_ACCOUNTDB_EXPIRY_DATE_H_

#include "platform/clock.h"

namespace gatekeeper::accountdb {

// The three numbers of a date, as read; nothing checks their ranges.
struct ExpiryDate {
  int month = 0;
  int day = 0;
  int year = 0;
};

// The last year that an expiry date may name; later years are refused by the filter and draw a
// warning from the pages that store dates. 2037 itself is accepted.
inline constexpr int kLastExpiryYear = 2037;

// Reads three decimal numbers separated by "/" in the order month, day, year, as the pattern
// "%d/%d/%d" reads them: white space before each number is skipped, a sign may precede its
// digits, each "/" must follow the digits directly, and anything after the third number is
// ignored ("3/15/2001", "03/15/2001", " 3/ 7/2001 x"). false when fewer than three numbers
// read ("15.3.2001", "2001-03-15", ""); *date is then unspecified. A number too large for an
// int reads as the largest int of its sign.
bool parseExpiryDate(const char* text, ExpiryDate* date);

// Whether the year lies after kLastExpiryYear.
inline bool isAfterLastExpiryYear(const ExpiryDate& date) { return date.year > kLastExpiryYear; }

// What the pages that store a user warn about once the expiry date is saved.
enum class ExpiryDateWarning {
  kNone,            // empty, or three numbers with a year up to kLastExpiryYear
  kUnreadable,      // does not read as three numbers (parseExpiryDate fails)
  kAfterLastYear,   // reads, but its year lies after kLastExpiryYear
};

// Judges a stored expiredate text for those warnings. The filter refuses such a date (events
// 5 and 15); storing it is still allowed.
ExpiryDateWarning judgeExpiryDate(const char* text);

// The filter's moment of expiry: 00:00:00 local time at the start of the date, months and days
// rolled over (13/1/2000 is 1 January 2001), daylight saving as on that date.
platform::FileTime localExpiryMoment(const ExpiryDate& date);

// The password page's moment of expiry: 00:00:00 UTC at the start of the date; kNotADate unless
// the numbers name a day of the calendar as they stand.
platform::FileTime utcExpiryMoment(const ExpiryDate& date);

// The filter's decision: the account has expired when its local moment of expiry lies before
// the current time taken to the whole second, so with 3/15/2001 the account is accepted up to
// and including 00:00:00 on 15 March 2001 and refused from 00:00:01 on. A date before 1970
// has long expired; a date without a moment counts as expired.
bool isExpiredAt(const ExpiryDate& date, platform::FileTime now);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_EXPIRY_DATE_H_
