#include "password/account_status.h"

#include "accountdb/database_names.h"
#include "accountdb/expiry_date.h"
#include "accountdb/value_readers.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

using accountdb::readFlag;
using accountdb::readText;

AccountStatus compareWithNow(const accountdb::ExpiryDate& date, platform::FileTime now) {
  const platform::FileTime moment = accountdb::utcExpiryMoment(date);
  if (moment == platform::kNotADate) return AccountStatus::kInvalidDate;
  return moment >= now ? AccountStatus::kWillExpire : AccountStatus::kExpired;
}

}  // namespace

AccountStatus evaluateAccountStatus(const ConfigSection& user, const ConfigSection& authority,
                                    platform::FileTime now) {
  if (readFlag(user, accountdb::kDisabled)) return AccountStatus::kDisabled;
  const bool neverExpires = readFlag(user, accountdb::kNoExpiration);
  const char* expireDate = readText(user, accountdb::kExpireDate);
  accountdb::ExpiryDate date;
  if (!readFlag(authority, accountdb::kExpirationRequired)) {
    if (*expireDate == '\0' || neverExpires) return AccountStatus::kNeverExpires;
    if (!accountdb::parseExpiryDate(expireDate, &date)) return AccountStatus::kInvalidDate;
    return compareWithNow(date, now);
  }
  if (neverExpires) return AccountStatus::kNeverExpires;
  if (!accountdb::parseExpiryDate(expireDate, &date)) return AccountStatus::kRequiredDateMissing;
  return compareWithNow(date, now);
}

void writeAccountStatus(AccountStatus status, const ConfigSection& user) {
  switch (status) {
    case AccountStatus::kDisabled:
      writeText("Account is disabled.");
      break;
    case AccountStatus::kNeverExpires:
      writeText("Account is active and will not expire.");
      break;
    case AccountStatus::kInvalidDate:
      writeText("Account is NOT active due to invalid date format specified.");
      break;
    case AccountStatus::kRequiredDateMissing:
      writeText("Account is NOT active due to invalid date specified (expire date is required).");
      break;
    case AccountStatus::kExpired:
      writeText("Account is NOT active due to expiration.");
      break;
    case AccountStatus::kWillExpire:
      writeText("Account is active and will expire on ");
      writeEscaped(readText(user, accountdb::kExpireDate));
      break;
  }
  writeLine("<BR>");
}

}  // namespace gatekeeper
