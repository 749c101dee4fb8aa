#include "password/failed_logon.h"

#include "platform/files.h"
#include "websupport/error_log.h"
#include "websupport/server_variables.h"

namespace gatekeeper::rekey {
namespace {

// The same length for every failure, so the time taken tells nothing either.
constexpr int kFailedLogonPauseMilliseconds = 1000;

void sleepAfterFailure() { platform::sleepMilliseconds(kFailedLogonPauseMilliseconds); }

LogonPause currentPause = sleepAfterFailure;

}  // namespace

std::string failedLogonLine(LogonFailure failure, std::string_view user, std::string_view uri) {
  const std::string name = escapeForLog(user);
  const std::string where = escapeForLog(uri);
  if (failure == LogonFailure::kUnknownUser) return "user " + name + " not found: " + where;
  return "user " + name + ": authentication failure for \"" + where + "\": Password Mismatch";
}

void reportFailedLogon(LogonFailure failure, std::string_view user) {
  writeClientErrorLog(failedLogonLine(failure, user, serverText("SCRIPT_NAME")));
  if (currentPause != nullptr) currentPause();
}

LogonPause setFailedLogonPause(LogonPause pause) {
  const LogonPause previous = currentPause;
  currentPause = pause;
  return previous;
}

}  // namespace gatekeeper::rekey
