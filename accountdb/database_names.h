// The names of the sections and values of the account database, with the letter case in which
// the programs write them (lookups ignore case). Every program takes its names from here.
//
//   MAIN                  general options
//     Disable             flag: the filter passes every request on unchanged
//     log                 text: full path of the event log
//     HashPasswords       flag: new passwords of site users are stored hashed
//     SERVERS             one text value per bound site: binding key = authority name
//     DONTLOG             logging options
//       Event             one int item per event id, named by the id in decimal
//   ACCOUNTS              one section per authority
//     <authority>
//       ExpirationRequired  flag: users without an expiry date are refused
//       <user>
//         Password        text: the password, or a hash of it (passhash/password_hash.h)
//         disabled        flag
//         DoNotMap        flag: credentials go to the server unchanged
//         MapTo           text: name of the section in NTACCOUNTS
//         expiredate      text: month/day/year
//         noexpiration    flag: the account never expires
//   NTACCOUNTS            one section per server account, named by the account
//     <account>
//       Password          text
#ifndef GATEKEEPER_ACCOUNTDB_DATABASE_NAMES_H_
#define GATEKEEPER_ACCOUNTDB_DATABASE_NAMES_H_

namespace gatekeeper::accountdb {

// Sections. MAIN, ACCOUNTS and NTACCOUNTS lie at the root, SERVERS and DONTLOG inside MAIN.
// The smallest working database holds MAIN, SERVERS, ACCOUNTS and NTACCOUNTS, empty (a new
// database made by overseer's set-up form has them). A storing page creates a missing one it
// writes into; DONTLOG is created when the logging options are first stored.
inline constexpr char kMain[] = "MAIN";
inline constexpr char kServers[] = "SERVERS";
inline constexpr char kDontLog[] = "DONTLOG";
inline constexpr char kAccounts[] = "ACCOUNTS";
inline constexpr char kNtAccounts[] = "NTACCOUNTS";

// Values of MAIN.
inline constexpr char kDisable[] = "Disable";
inline constexpr char kLog[] = "log";
inline constexpr char kHashPasswords[] = "HashPasswords";

// The value of DONTLOG.
inline constexpr char kEvent[] = "Event";

// The value of an authority.
inline constexpr char kExpirationRequired[] = "ExpirationRequired";

// Values of a user; Password is also the value of a server account.
inline constexpr char kPassword[] = "Password";
inline constexpr char kDisabled[] = "disabled";
inline constexpr char kDoNotMap[] = "DoNotMap";
inline constexpr char kMapTo[] = "MapTo";
inline constexpr char kExpireDate[] = "expiredate";
inline constexpr char kNoExpiration[] = "noexpiration";

// The letter case in which a password change writes a server account's Password value when the
// account has none yet. It names the same value as kPassword.
inline constexpr char kPasswordWrittenByChange[] = "password";

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_DATABASE_NAMES_H_
