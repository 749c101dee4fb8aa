// The lock that serializes the runs that load the account database: every CGI run (and every
// command of the command-line program) takes it first and holds it until it has written its
// page, so two overlapping changes are applied one after the other and both survive. It has
// two parts, both beside the database:
// - an advisory lock on the lock file (the database path plus ".lock"), which queues the
//   processes of this host;
// - the share lock (share_lock.h), a holder directory (the database path plus ".holder"),
//   which excludes the processes of the other hosts that reach the database through a share.
// The filter only reads and takes no lock.
#ifndef GATEKEEPER_WEBSUPPORT_DATABASE_LOCK_H_
#define GATEKEEPER_WEBSUPPORT_DATABASE_LOCK_H_

#include <optional>
#include <string>

#include "platform/files.h"
#include "websupport/share_lock.h"

namespace gatekeeper {

class DatabaseLock {
 public:
  // Blocks until both parts are held, or fails: an empty path, a directory where the files
  // cannot be made (the caller may go on, as nothing else can change the database there
  // either), or another holder that kept the database for the whole wait (isBusy: the
  // caller must not go on to change the database). A failure on a path that is not empty
  // writes one error log line naming the file and the system's reason or the holder.
  explicit DatabaseLock(const std::string& databasePath,
                        ShareLock::Timing timing = ShareLock::Timing());
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

  bool isHeld() const {
    return lock_.isHeld() && share_ && share_->outcome() == ShareLock::Outcome::kHeld;
  }
  // Another holder kept the database for the whole wait.
  bool isBusy() const { return share_ && share_->outcome() == ShareLock::Outcome::kBusy; }
  // For isBusy(): what the holder says of itself.
  std::string holder() const { return share_ ? share_->reason() : std::string(); }

  static std::string lockPath(const std::string& databasePath) { return databasePath + ".lock"; }
  static std::string holderPath(const std::string& databasePath) {
    return databasePath + ".holder";
  }

 private:
  platform::FileLock lock_;
  std::optional<ShareLock> share_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_DATABASE_LOCK_H_
