#include "accountpages/database_run.h"

#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/system_error.h"
#include "websupport/database_lock.h"
#include "websupport/error_log.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "settings/settings_key.h"

namespace gatekeeper {
namespace {

// The key as the pages name it.
constexpr char kKeyName[] = "\\HKEY_LOCAL_MACHINE\\Software\\Kestrel\\Gatekeeper (Text)";

std::string reasonOf(int code) {
  return code != 0 ? platform::systemErrorText(code) : std::string("the value is empty");
}

// The settings key or its value named by what could not be read. Logged either way; a key or
// value that does not exist gives the program's setup error page, which offers to set up a new
// installation. One that exists but cannot be read must not invite that (a new database would
// replace the one this account only cannot see): the bare error page names it and the reason.
int reportSettingsProblem(int setupCode, const char* valueName, int error,
                          int (*writeSetupError)(int code)) {
  std::string where = SettingsKey::location();
  if (valueName != nullptr) where = where + platform::kPathSeparator + valueName;
  writeErrorLog(std::string("cannot read the settings ") + (valueName ? "value " : "key ") +
                where + ": " + reasonOf(error));
  if (error == 0 || SettingsKey::meansMissing(error)) return writeSetupError(setupCode);
  writeSetupErrorLines(setupCode);
  writeText(valueName != nullptr ? "The value " : "");
  if (valueName != nullptr) {
    writeEscaped(valueName);
    writeText(" of the settings key ");
  } else {
    writeText("The settings key ");
  }
  writeEscaped(kKeyName);
  writeText(" can not be read: ");
  writeEscaped(platform::systemErrorText(error));
  writeLine("<BR>");
  return setupCode;
}

}  // namespace

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
    if (!key.openForReading()) {
      return reportSettingsProblem(kSettingsKeyMissing, nullptr, key.lastError(), writeSetupError);
    }
    path = key.readString(kConfigurationFileValue);
    if (!path) {
      return reportSettingsProblem(kDatabasePathMissing, kConfigurationFileValue,
                                   key.lastError(), writeSetupError);
    }
  }
  const DatabaseLock lock(*path);
  if (lock.isBusy()) {
    // Another host's run holds the database (the lock logged who): this run may not change
    // it, and a page that only reads would not show a settled state either.
    writeSetupErrorLines(kDatabaseNotLoadable);
    if (lock.holder().empty()) {
      // No holder could be read: it is being made or removed, or the share does not answer.
      writeLine("The account database is in use by another program, or its share does not "
                "answer.<BR>");
    } else {
      writeText("The account database is in use by another program: ");
      writeEscaped(lock.holder());
      writeLine("<BR>");
    }
    return kDatabaseNotLoadable;
  }
  ConfigFile database(path->c_str(), 1);
  if (!database.loadWhole()) {
    writeErrorLog("cannot load the account database " + *path + ": " + database.lastFailure());
    return writeSetupError(kDatabaseNotLoadable);
  }
  page(database);
  return 0;
}

}  // namespace gatekeeper
