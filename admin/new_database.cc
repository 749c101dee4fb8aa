#include "admin/new_database.h"

#include <filesystem>
#include <system_error>

#include "accountdb/database_names.h"
#include "configstore/config_file.h"
#include "websupport/database_lock.h"
#include "websupport/error_log.h"

namespace gatekeeper {
namespace {

// Only a path that is known not to exist counts as missing: one that cannot be examined (no
// access to its directory) may hold a database and is never replaced.
bool mayExist(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  return status.type() != std::filesystem::file_type::not_found;
}

}  // namespace

NewDatabase createDatabaseIfMissing(const std::string& path) {
  if (path.empty()) return NewDatabase::kExisting;
  const DatabaseLock lock(path);
  // Another host's run holds the database, which it would not do without one (the lock logged
  // who holds it).
  if (lock.isBusy()) return NewDatabase::kFailed;
  if (mayExist(path)) return NewDatabase::kExisting;
  ConfigFile database(path.c_str(), 1);
  ConfigSection* main = database.getOrCreateSection(accountdb::kMain);
  const bool built = main != nullptr && main->getOrCreateSection(accountdb::kServers) != nullptr &&
                     database.getOrCreateSection(accountdb::kAccounts) != nullptr &&
                     database.getOrCreateSection(accountdb::kNtAccounts) != nullptr;
  if (built && database.save()) return NewDatabase::kCreated;
  writeErrorLog("cannot create the account database " + path + ": " +
                (built ? database.lastFailure() : std::string("out of memory")));
  return NewDatabase::kFailed;
}

}  // namespace gatekeeper
