// The frame around every page of overseer: head and style sheet, banner, menu, login
// information box, content cell and footer.
#ifndef GATEKEEPER_ADMIN_PAGE_FRAME_H_
#define GATEKEEPER_ADMIN_PAGE_FRAME_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// Writes the whole HTML body of a framed page; the content cell holds what dispatchAction
// writes for the query's Action. Never saves the database.
void writePageFrame(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_PAGE_FRAME_H_
