// What follows a failed rekey logon (an unknown user name or a wrong password). rekey is open
// to everyone and checks passwords itself, so without a pause and a log line it would be an
// oracle that a client could ask as fast as it liked.
#ifndef GATEKEEPER_PASSWORD_FAILED_LOGON_H_
#define GATEKEEPER_PASSWORD_FAILED_LOGON_H_

#include <string>
#include <string_view>

namespace gatekeeper::rekey {

enum class LogonFailure {
  kUnknownUser,     // the site authority holds no user of that name
  kWrongPassword,   // the user exists; the password differs
};

// The error log line of a failed logon, in the form of Apache's own Basic authentication, so
// that a log scanner that bans clients after repeated failures (fail2ban's apache-auth jail)
// counts it like any other:
//   user NAME not found: URI
//   user NAME: authentication failure for "URI": Password Mismatch
// NAME is the name as typed and URI the program's SCRIPT_NAME, both escapeForLog'd.
std::string failedLogonLine(LogonFailure failure, std::string_view user, std::string_view uri);

// Writes failedLogonLine for this request to the error log (writeClientErrorLog, so that the
// line names the client where the web server does not), then pauses (about a second) before
// the caller answers, so that one client cannot try passwords quickly. The answer itself is
// the same for both failures.
void reportFailedLogon(LogonFailure failure, std::string_view user);

// Replaces the pause (tests: nullptr for none); returns the previous one.
using LogonPause = void (*)();
LogonPause setFailedLogonPause(LogonPause pause);

}  // namespace gatekeeper::rekey

#endif  // GATEKEEPER_PASSWORD_FAILED_LOGON_H_
