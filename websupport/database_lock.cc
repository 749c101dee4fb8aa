#include "websupport/database_lock.h"

#include "platform/system_error.h"
#include "websupport/error_log.h"

namespace gatekeeper {

// No lock file for an empty path: it would land in the working directory as ".lock".
DatabaseLock::DatabaseLock(const std::string& databasePath)
    : lock_(databasePath.empty() ? std::string() : lockPath(databasePath)) {
  if (lock_.isHeld() || databasePath.empty()) return;
  // The lock's open or flock is the last call that failed.
  const int error = platform::lastSystemError();
  writeErrorLog("cannot lock the account database with " + lockPath(databasePath) + ": " +
                platform::systemErrorText(error));
}

}  // namespace gatekeeper
