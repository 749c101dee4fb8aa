#include "websupport/database_lock.h"

#include "platform/system_error.h"
#include "websupport/error_log.h"

namespace gatekeeper {

namespace {

std::string waitText(const ShareLock::Timing& timing) {
  const auto ms = timing.longestWait.count();
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

// No lock files for an empty path: they would land in the working directory as ".lock".
DatabaseLock::DatabaseLock(const std::string& databasePath, ShareLock::Timing timing)
    : lock_(databasePath.empty() ? std::string() : lockPath(databasePath)) {
  if (databasePath.empty()) return;
  if (!lock_.isHeld()) {
    // The lock's open or flock is the last call that failed.
    const int error = platform::lastSystemError();
    writeErrorLog("cannot lock the account database with " + lockPath(databasePath) + ": " +
                  platform::systemErrorText(error));
  }
  share_.emplace(holderPath(databasePath), timing);
  switch (share_->outcome()) {
    case ShareLock::Outcome::kHeld:
      break;
    case ShareLock::Outcome::kFailed:
      // Where the lock file could not be made either, its line gave the reason.
      if (!lock_.isHeld()) break;
      writeErrorLog("cannot lock the account database with " + holderPath(databasePath) + ": " +
                    share_->reason());
      break;
    case ShareLock::Outcome::kBusy:
      writeErrorLog("cannot lock the account database: " + holderPath(databasePath) +
                    " names a holder that kept it for the whole wait of " + waitText(timing) + " (" +
                    (share_->reason().empty() ? std::string("unreadable") : share_->reason()) +
                    "); it is broken once that process has ended (on this host) or after " +
                    std::to_string(timing.staleAfter.count()) + " s");
      break;
  }
}

}  // namespace gatekeeper
