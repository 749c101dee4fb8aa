#include "cli/database_access.h"

#include <ostream>

#include "platform/files.h"
#include "platform/system_error.h"
#include "websupport/error_log.h"
#include "settings/settings_key.h"

namespace gatekeeper::cli {
namespace {

std::string reasonOf(int code) {
  return code != 0 ? platform::systemErrorText(code) : std::string("the value is empty");
}

}  // namespace

std::optional<std::string> locateDatabase(const std::optional<std::string>& named,
                                          std::ostream& err) {
  if (named) return named;
  SettingsKey key;
  if (!key.openForReading()) {
    err << "gatekeeper: cannot read the settings key " << SettingsKey::location() << ": "
        << reasonOf(key.lastError()) << " (name the account database with --database FILE)\n";
    return std::nullopt;
  }
  std::optional<std::string> path = key.readString(kConfigurationFileValue);
  if (!path || path->empty()) {
    err << "gatekeeper: cannot read the settings value " << SettingsKey::location()
        << platform::kPathSeparator << kConfigurationFileValue << ": "
        << reasonOf(path ? 0 : key.lastError()) << "\n";
    return std::nullopt;
  }
  return path;
}

std::unique_ptr<DatabaseLock> lockDatabase(const std::string& path, std::ostream& err) {
  // A lock file that this command makes (as the superuser, say) belongs to the database's
  // owner, so that the web server's account can still take the lock after us.
  platform::createLockFileOwnedLike(DatabaseLock::lockPath(path), path);
  // The lock names its failure in the error log; here that is this command's standard error.
  ErrorLogCapture failure;
  auto lock = std::make_unique<DatabaseLock>(path);
  if (lock->isHeld()) return lock;
  if (failure.text().empty()) {
    err << "gatekeeper: cannot lock the account database " << path << "\n";
  } else {
    err << "gatekeeper: " << failure.text();
  }
  return nullptr;
}

bool loadDatabase(ConfigFile& database, std::ostream& err) {
  if (database.loadWhole()) return true;
  err << "gatekeeper: cannot load the account database " << database.path() << ": "
      << database.lastFailure() << "\n";
  return false;
}

bool saveDatabase(ConfigFile& database, std::ostream& err) {
  if (database.save()) return true;
  err << "gatekeeper: cannot save the account database " << database.path() << ": "
      << database.lastFailure() << " - the change was not stored\n";
  return false;
}

}  // namespace gatekeeper::cli
