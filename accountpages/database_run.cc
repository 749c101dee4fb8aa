#include "accountpages/database_run.h"

#include <optional>
#include <string>

#include "websupport/database_lock.h"
#include "websupport/response_writer.h"
#include "websupport/settings_key.h"

namespace gatekeeper {

int writeSetupErrorLines(int code) {
  writeLine("<HTML><BODY>");
  writeLine("Error: " + std::to_string(code) + "<BR>");
  return code;
}

int runOnAccountDatabase(const std::function<void(ConfigFile& database)>& page,
                         int (*writeSetupError)(int code)) {
  std::optional<std::string> path;
  {
    SettingsKey key;
    if (!key.openForReading()) return writeSetupError(kSettingsKeyMissing);
    path = key.readString(kConfigurationFileValue);
  }
  if (!path) return writeSetupError(kDatabasePathMissing);
  const DatabaseLock lock(*path);
  ConfigFile database(path->c_str(), 1);
  if (!database.load()) return writeSetupError(kDatabaseNotLoadable);
  page(database);
  return 0;
}

}  // namespace gatekeeper
