// One CGI run on the account database, as every program makes it: the settings key names the
// file, the database lock is taken, the file is loaded, the page is written, and the lock is
// released only after the page, so a page that stores saves what it loaded, unchanged by any
// other run in between. A database that cannot be found or loaded gives the setup error page.
#ifndef GATEKEEPER_ACCOUNTPAGES_DATABASE_RUN_H_
#define GATEKEEPER_ACCOUNTPAGES_DATABASE_RUN_H_

#include <functional>

#include "configstore/config_file.h"

namespace gatekeeper {

// Why the database is unavailable; the number is shown on the setup error page and is the
// program's exit code.
enum SetupError : int {
  kSettingsKeyMissing = 1,     // the settings key cannot be opened
  kDatabasePathMissing = 2,    // "Configuration File" is not set
  kDatabaseNotLoadable = 3,    // the account database cannot be loaded
};

// Writes "<HTML><BODY>", "Error: " and the code followed by "<BR>", each on its own line and
// without closing tags: the whole setup error page of the site programs, and the start of
// overseer's. Returns the code.
int writeSetupErrorLines(int code);

// Loads the account database named by the settings key under the database lock and calls
// page with it; returns 0. When the key, its "Configuration File" value or the file is
// missing (or the file does not load), calls writeSetupError with the code instead and returns
// the code. When the key or the value exists but cannot be read (no access), writes instead
// writeSetupErrorLines and one line naming the key and the system's reason, and no invitation
// to set up a new installation. Every such failure also writes one error log line naming the
// path (the key's directory, the value's file, the database) and the reason. When another
// host's run kept the database lock for the whole wait, writes writeSetupErrorLines and a line
// naming the holder instead, and returns kDatabaseNotLoadable. The database is never saved
// here: only pages that store save it.
int runOnAccountDatabase(const std::function<void(ConfigFile& database)>& page,
                         int (*writeSetupError)(int code) = writeSetupErrorLines);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ACCOUNTPAGES_DATABASE_RUN_H_
