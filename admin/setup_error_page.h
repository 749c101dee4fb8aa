// The page shown instead of the frame when the account database cannot be found or loaded.
#ifndef GATEKEEPER_ADMIN_SETUP_ERROR_PAGE_H_
#define GATEKEEPER_ADMIN_SETUP_ERROR_PAGE_H_

namespace gatekeeper {

// Why the database is unavailable; the number is shown on the page and is the exit code.
enum SetupError : int {
  kSettingsKeyMissing = 1,     // the settings key cannot be opened
  kDatabasePathMissing = 2,    // "Configuration File" is not set
  kDatabaseNotLoadable = 3,    // the account database cannot be loaded
};

// Writes the error code and an empty form for the Config action, so that a fresh installation
// can be set up from the browser. Returns the code.
int writeSetupErrorPage(int code);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_SETUP_ERROR_PAGE_H_
