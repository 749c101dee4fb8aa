// rekey's evaluation of an account: every branch, and the moment of expiry at 00:00 UTC.
#include "password/account_status.h"

#include <gtest/gtest.h>

#include "configstore/config_section.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

using platform::utcMidnight;

// Noon UTC on 15 June 2024.
const platform::FileTime kNow = utcMidnight(2024, 6, 15) + 12 * 3600 * platform::kTicksPerSecond;

struct Case {
  bool required;         // the authority's ExpirationRequired
  const char* expire;    // nullptr: no expiredate value
  bool noExpiration;
  bool disabled;
  AccountStatus status;
};

TEST(AccountStatusTest, EveryBranchFirstMatchWins) {
  const Case cases[] = {
      {false, "1/1/1990", false, true, AccountStatus::kDisabled},
      {true, nullptr, true, true, AccountStatus::kDisabled},
      // No date required.
      {false, nullptr, false, false, AccountStatus::kNeverExpires},
      {false, "", false, false, AccountStatus::kNeverExpires},
      {false, "garbage", true, false, AccountStatus::kNeverExpires},
      {false, "15.3.2001", false, false, AccountStatus::kInvalidDate},
      {false, "13/1/2024", false, false, AccountStatus::kInvalidDate},  // not rolled over
      {false, "2/30/2024", false, false, AccountStatus::kInvalidDate},
      {false, "6/0/2024", false, false, AccountStatus::kInvalidDate},
      {false, "6/15/2024", false, false, AccountStatus::kExpired},      // today
      {false, "6/14/2024", false, false, AccountStatus::kExpired},
      {false, "06/16/2024", false, false, AccountStatus::kWillExpire},  // tomorrow
      {false, "1/1/2040", false, false, AccountStatus::kWillExpire},    // after 2037 too
      {false, "2/29/2024 extra", false, false, AccountStatus::kExpired},
      // A date required.
      {true, "1/1/1990", true, false, AccountStatus::kNeverExpires},
      {true, nullptr, false, false, AccountStatus::kRequiredDateMissing},
      {true, "", false, false, AccountStatus::kRequiredDateMissing},
      {true, "June 16", false, false, AccountStatus::kRequiredDateMissing},
      {true, "2/30/2024", false, false, AccountStatus::kInvalidDate},
      {true, "6/15/2024", false, false, AccountStatus::kExpired},
      {true, "6/16/2024", false, false, AccountStatus::kWillExpire},
  };
  for (const Case& c : cases) {
    ConfigSection authority("Staff");
    if (c.required) authority.setInt("ExpirationRequired", 1);
    ConfigSection* user = authority.getOrCreateSection("bob");
    user->setInt("DoNotMap", 1);  // ignored: unmapped users are evaluated alike
    if (c.expire != nullptr) user->setString("expiredate", c.expire);
    user->setInt("noexpiration", c.noExpiration ? 1 : 0);
    user->setInt("disabled", c.disabled ? 1 : 0);
    EXPECT_EQ(evaluateAccountStatus(*user, authority, kNow), c.status)
        << (c.expire ? c.expire : "(none)") << " required " << c.required;
  }
}

TEST(AccountStatusTest, ActiveUpToTheFirstInstantOfTheDayInUtc) {
  ConfigSection authority("Staff");
  ConfigSection* user = authority.getOrCreateSection("bob");
  user->setString("expiredate", "6/16/2024");
  const platform::FileTime midnight = utcMidnight(2024, 6, 16);
  EXPECT_EQ(evaluateAccountStatus(*user, authority, midnight), AccountStatus::kWillExpire);
  EXPECT_EQ(evaluateAccountStatus(*user, authority, midnight + 1), AccountStatus::kExpired);
}

TEST(AccountStatusTest, StatusLinesQuoteTheDateAsStored) {
  ConfigSection user("bob");
  user.setString("expiredate", " 03/15/2040 <soon>");
  ResponseCapture page;
  writeAccountStatus(AccountStatus::kWillExpire, user);
  writeAccountStatus(AccountStatus::kRequiredDateMissing, user);
  EXPECT_EQ(page.text(),
            "Account is active and will expire on  03/15/2040 &lt;soon&gt;<BR>\n"
            "Account is NOT active due to invalid date specified (expire date is required).<BR>\n");
}

}  // namespace
}  // namespace gatekeeper
