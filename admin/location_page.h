// The location of the account database: the page that shows it (the empty action) and the
// Config action that stores it in the settings key.
#ifndef GATEKEEPER_ADMIN_LOCATION_PAGE_H_
#define GATEKEEPER_ADMIN_LOCATION_PAGE_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// Page handler of the empty action: explains where the database is found and offers the form
// for the Config action, filled with the current "Configuration File" and "Backup directory"
// (empty when the key or a value is missing). Never touches the database.
void writeLocationPage(ConfigFile& database, const FormFields& form, const FormFields& query);

// The Config action, written right after the header block, without the frame: stores the form
// fields Config and Backup as "Configuration File" and "Backup directory" (creating the key).
// When either write fails it shows the registry error and the login diagnostics. Otherwise it
// confirms, and creates the smallest working database at the new path when no file is there.
void saveLocation(const FormFields& form);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_LOCATION_PAGE_H_
