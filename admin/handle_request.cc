#include "admin/handle_request.h"

#include <optional>
#include <string>

#include "admin/header_block.h"
#include "admin/location_page.h"
#include "admin/page_frame.h"
#include "admin/reauthenticate.h"
#include "admin/setup_error_page.h"
#include "configstore/config_file.h"
#include "platform/names.h"
#include "websupport/cross_site_check.h"
#include "websupport/database_lock.h"
#include "websupport/settings_key.h"

namespace gatekeeper {
namespace {

// Writes a framed page on the database named by the settings key, or the setup error page.
int writeFramedPage(const FormFields& form, const FormFields& query) {
  std::optional<std::string> path;
  {
    SettingsKey key;
    if (!key.openForReading()) return writeSetupErrorPage(kSettingsKeyMissing);
    path = key.readString(kConfigurationFileValue);
  }
  if (!path) return writeSetupErrorPage(kDatabasePathMissing);
  // Held until the page is written, so a page that stores saves what it loaded, unchanged by
  // any other run in between.
  const DatabaseLock lock(*path);
  ConfigFile database(path->c_str(), 1);
  if (!database.load()) return writeSetupErrorPage(kDatabaseNotLoadable);
  writePageFrame(database, form, query);
  return 0;
}

}  // namespace

int handleRequest(const FormFields& form, const FormFields& query, const FormFields&) {
  const std::string& action = query.field("Action").text();
  if (platform::namesEqual(action.c_str(), "Reauthenticate")) {
    reauthenticate(query);
    return 0;
  }
  writeHeaderBlock();
  if (platform::namesEqual(action.c_str(), "Config")) {
    if (admitStoringRequest()) saveLocation(form);
    return 0;
  }
  return writeFramedPage(form, query);
}

}  // namespace gatekeeper
