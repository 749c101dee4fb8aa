// The lock that serializes the CGI runs on one account database: every run that loads the
// database takes it first and holds it until it has written its page, so two overlapping
// changes are applied one after the other and both survive. The lock file lies beside the
// database, named by the database path plus ".lock". The filter only reads and takes no lock.
#ifndef GATEKEEPER_WEBSUPPORT_DATABASE_LOCK_H_
#define GATEKEEPER_WEBSUPPORT_DATABASE_LOCK_H_

#include <string>

#include "platform/files.h"

namespace gatekeeper {

class DatabaseLock {
 public:
  // Blocks until the lock on databasePath's lock file is held, or fails (an empty path, a
  // directory where the lock file cannot be created); the caller goes on either way. A failure
  // on a path that is not empty writes one error log line naming the lock file and the
  // system's reason.
  explicit DatabaseLock(const std::string& databasePath);
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

  bool isHeld() const { return lock_.isHeld(); }

  static std::string lockPath(const std::string& databasePath) { return databasePath + ".lock"; }

 private:
  platform::FileLock lock_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_DATABASE_LOCK_H_
