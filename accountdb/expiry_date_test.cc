#include "accountdb/expiry_date.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/environment.h"

namespace gatekeeper::accountdb {
namespace {

using platform::FileTime;
using platform::kNotADate;
using platform::kTicksPerSecond;
using platform::utcMidnight;

constexpr FileTime kHour = 3600 * kTicksPerSecond;

ExpiryDate parsed(const char* text) {
  ExpiryDate date;
  EXPECT_TRUE(parseExpiryDate(text, &date)) << text;
  return date;
}

bool reads(const char* text) {
  ExpiryDate date;
  return parseExpiryDate(text, &date);
}

void expectDate(const char* text, int month, int day, int year) {
  const ExpiryDate date = parsed(text);
  EXPECT_EQ(date.month, month) << text;
  EXPECT_EQ(date.day, day) << text;
  EXPECT_EQ(date.year, year) << text;
}

TEST(ParseExpiryDateTest, ReadsThreeNumbersLikeScanf) {
  expectDate("3/15/2001", 3, 15, 2001);
  expectDate("03/15/2001", 3, 15, 2001);
  expectDate(" 3/ 7/2001", 3, 7, 2001);
  expectDate("\t3/\n7/ 2001", 3, 7, 2001);
  expectDate("3/15/2001 and more", 3, 15, 2001);
  expectDate("3/15/2001/7", 3, 15, 2001);
  expectDate("12/31/2037x", 12, 31, 2037);
  expectDate("+3/-1/0", 3, -1, 0);
  expectDate("13/0/99999", 13, 0, 99999);
  // Too large for an int: the largest int of that sign.
  expectDate("99999999999/1/2000", INT_MAX, 1, 2000);
  expectDate("1/-99999999999/2000", 1, INT_MIN, 2000);
  expectDate("1/1/2147483647", 1, 1, INT_MAX);
  expectDate("1/1/-2147483648", 1, 1, INT_MIN);
}

TEST(ParseExpiryDateTest, FewerThanThreeNumbersIsAnError) {
  EXPECT_FALSE(reads(""));
  EXPECT_FALSE(reads(nullptr));
  EXPECT_FALSE(reads("15.3.2001"));
  EXPECT_FALSE(reads("2001-03-15"));
  EXPECT_FALSE(reads("3/15"));
  EXPECT_FALSE(reads("3/15/"));
  EXPECT_FALSE(reads("3//2001"));
  EXPECT_FALSE(reads("3 /15/2001"));  // the slash must follow the digits
  EXPECT_FALSE(reads("March 15 2001"));
  EXPECT_FALSE(reads("-/1/2001"));
  EXPECT_FALSE(reads("3/+/2001"));
}

TEST(ExpiryYearTest, TwentyThirtySevenIsTheLastYear) {
  EXPECT_FALSE(isAfterLastExpiryYear(parsed("12/31/2037")));
  EXPECT_TRUE(isAfterLastExpiryYear(parsed("1/1/2038")));
  EXPECT_FALSE(isAfterLastExpiryYear(parsed("13/1/2037")));  // the year as written counts
  EXPECT_TRUE(isAfterLastExpiryYear(parsed("1/1/99999999999")));
}

TEST(UtcExpiryMomentTest, OnlyCalendarDatesHaveOne) {
  EXPECT_EQ(utcExpiryMoment(parsed("3/15/2001")), utcMidnight(2001, 3, 15));
  EXPECT_EQ(utcExpiryMoment(parsed("2/29/2000")), utcMidnight(2000, 2, 29));
  EXPECT_EQ(utcExpiryMoment(parsed("1/1/2040")), utcMidnight(2040, 1, 1));
  EXPECT_EQ(utcExpiryMoment(parsed("13/1/2000")), kNotADate);
  EXPECT_EQ(utcExpiryMoment(parsed("2/29/2001")), kNotADate);
  EXPECT_EQ(utcExpiryMoment(parsed("4/31/2001")), kNotADate);
  EXPECT_EQ(utcExpiryMoment(parsed("1/0/2001")), kNotADate);
  EXPECT_EQ(utcExpiryMoment(parsed("1/1/1600")), kNotADate);
  EXPECT_EQ(utcExpiryMoment(parsed("1/1/30828")), kNotADate);
}

// The filter's moments lie in local time. Outside Windows the test sets TZ itself (mktime
// reads it); on Windows the zone comes from TZ in the environment that ctest gives the
// program, so the pin is checked, not assumed.
class NewYorkExpiryTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::setEnvironmentVariable("TZ", "America/New_York");
    ASSERT_EQ(platform::localMidnight(2001, 1, 15) - utcMidnight(2001, 1, 15), 5 * kHour)
        << "the local time zone must be America/New_York";
  }
};

TEST_F(NewYorkExpiryTest, LocalMomentIsMidnightOfThatDaysZone) {
  EXPECT_EQ(localExpiryMoment(parsed("3/15/2001")), utcMidnight(2001, 3, 15) + 5 * kHour);
  EXPECT_EQ(localExpiryMoment(parsed("7/4/2001")), utcMidnight(2001, 7, 4) + 4 * kHour);
  // Months and days roll over.
  EXPECT_EQ(localExpiryMoment(parsed("13/1/2000")), utcMidnight(2001, 1, 1) + 5 * kHour);
  EXPECT_EQ(localExpiryMoment(parsed("2/30/2001")), utcMidnight(2001, 3, 2) + 5 * kHour);
  EXPECT_EQ(localExpiryMoment(parsed("0/10/2001")), utcMidnight(2000, 12, 10) + 5 * kHour);
  EXPECT_EQ(localExpiryMoment(parsed("12/32/2037")), utcMidnight(2038, 1, 1) + 5 * kHour);
}

TEST_F(NewYorkExpiryTest, ExpiresOneSecondAfterLocalMidnight) {
  const ExpiryDate date = parsed("3/15/2001");
  const FileTime midnight = utcMidnight(2001, 3, 15) + 5 * kHour;
  EXPECT_FALSE(isExpiredAt(date, midnight - 1));
  EXPECT_FALSE(isExpiredAt(date, midnight));
  EXPECT_FALSE(isExpiredAt(date, midnight + kTicksPerSecond - 1));  // still 00:00:00
  EXPECT_TRUE(isExpiredAt(date, midnight + kTicksPerSecond));
  // At UTC midnight the local day has not begun: the account is still valid.
  EXPECT_FALSE(isExpiredAt(date, utcMidnight(2001, 3, 15) + 4 * kHour));
}

// Dates days away are decided without the zone: the answer is the zone's own at every hour
// from five days before to five days after the date, also where the date rolls over or lies
// at the ends of the years of file times.
TEST_F(NewYorkExpiryTest, FarDatesAnswerAsTheZoneDoes) {
  const char* dates[] = {"3/15/2001", "11/4/2001", "13/1/2000", "12/31/2037", "1/1/1601",
                         "12/31/30827", "12/29/30827", "2/30/2001"};
  for (const char* text : dates) {
    const ExpiryDate date = parsed(text);
    const FileTime moment = localExpiryMoment(date);
    const FileTime around = utcMidnight(date.year, date.month, date.day);
    for (int hour = -5 * 24; hour <= 5 * 24; ++hour) {
      const FileTime now = around + hour * kHour + 1234;
      if (now < 0) continue;
      const bool zoneSays = moment == kNotADate || moment < now - now % kTicksPerSecond;
      EXPECT_EQ(isExpiredAt(date, now), zoneSays) << text << " " << hour;
    }
  }
}

TEST_F(NewYorkExpiryTest, YearsAroundTwentyThirtySeven) {
  const FileTime now = utcMidnight(2001, 3, 15);
  EXPECT_FALSE(isExpiredAt(parsed("12/31/2037"), now));
  const FileTime lastDay = utcMidnight(2037, 12, 31) + 5 * kHour;
  EXPECT_FALSE(isExpiredAt(parsed("12/31/2037"), lastDay));
  EXPECT_TRUE(isExpiredAt(parsed("12/31/2037"), lastDay + kTicksPerSecond));
  // Past the signed 32-bit seconds of 2038 nothing wraps.
  EXPECT_FALSE(isExpiredAt(parsed("1/20/2038"), utcMidnight(2038, 1, 19) + 12 * kHour));
  EXPECT_TRUE(isExpiredAt(parsed("1/19/2038"), utcMidnight(2038, 1, 19) + 12 * kHour));
}

TEST_F(NewYorkExpiryTest, DatesWithoutAMomentHaveExpired) {
  const FileTime now = utcMidnight(2001, 3, 15);
  EXPECT_TRUE(isExpiredAt(parsed("1/1/1960"), now));     // before 1970
  EXPECT_TRUE(isExpiredAt(parsed("1/1/1500"), now));     // before the first file time
  EXPECT_TRUE(isExpiredAt(parsed("0/0/0"), now));
  EXPECT_TRUE(isExpiredAt(parsed("99999999999/1/2000"), now));  // rolls past year 30827
  EXPECT_TRUE(isExpiredAt(parsed("1/1/-5"), now));
}

}  // namespace
}  // namespace gatekeeper::accountdb
