#include "websupport/database_lock.h"

namespace gatekeeper {

// No lock file for an empty path: it would land in the working directory as ".lock".
DatabaseLock::DatabaseLock(const std::string& databasePath)
    : lock_(databasePath.empty() ? std::string() : lockPath(databasePath)) {}

}  // namespace gatekeeper
