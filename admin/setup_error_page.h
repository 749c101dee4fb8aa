// The page shown instead of the frame when the account database cannot be found or loaded.
#ifndef GATEKEEPER_ADMIN_SETUP_ERROR_PAGE_H_
#define GATEKEEPER_ADMIN_SETUP_ERROR_PAGE_H_

#include "accountpages/database_run.h"

namespace gatekeeper {

// Writes the error code and an empty form for the Config action, so that a fresh installation
// can be set up from the browser. Returns the code.
int writeSetupErrorPage(int code);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_SETUP_ERROR_PAGE_H_
