// The account status that rekey shows a user: its own evaluation of the user's entry, which
// differs from the filter's decision on purpose. It takes the moment of expiry at 00:00:00 UTC,
// evaluates unmapped users too, accepts years after 2037 and does not look at MapTo.
#ifndef GATEKEEPER_PASSWORD_ACCOUNT_STATUS_H_
#define GATEKEEPER_PASSWORD_ACCOUNT_STATUS_H_

#include "configstore/config_section.h"
#include "platform/clock.h"

namespace gatekeeper {

enum class AccountStatus {
  kDisabled,           // "Account is disabled."
  kNeverExpires,       // "Account is active and will not expire."
  kInvalidDate,        // "Account is NOT active due to invalid date format specified."
  kRequiredDateMissing,  // "... invalid date specified (expire date is required)."
  kExpired,            // "Account is NOT active due to expiration."
  kWillExpire,         // "Account is active and will expire on " and the stored date
};

// First match wins: disabled; then, when the authority does not require a date, no date or
// noexpiration means never expiring; when it does, noexpiration alone does, and a date that
// does not read as three numbers (the empty one included) is a missing required date. A date
// that reads but names no day of the calendar (13/1/2001, 2/30/2001) is an invalid date. The
// account is active while its expiry moment (the date at 00:00:00 UTC) is at or after now.
AccountStatus evaluateAccountStatus(const ConfigSection& user, const ConfigSection& authority,
                                    platform::FileTime now);

// Writes the status line, with the stored date (escaped) after kWillExpire's text.
void writeAccountStatus(AccountStatus status, const ConfigSection& user);

}  // namespace gatekeeper

#endif  // GATEKEEPER_PASSWORD_ACCOUNT_STATUS_H_
