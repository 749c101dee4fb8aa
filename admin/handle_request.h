// The page entry of overseer.
#ifndef GATEKEEPER_ADMIN_HANDLE_REQUEST_H_
#define GATEKEEPER_ADMIN_HANDLE_REQUEST_H_

#include "websupport/form_fields.h"

namespace gatekeeper {

// Answers one request: the reauthentication exchange, the Config action, or a framed page on
// the account database named by the settings key. Apart from reauthentication, a request whose
// logon the filter replaced gets only the refusal of websupport/direct_logon.h (returns 0). Action, PostAction and Olduser come from
// the query; every other input from the form. Returns 0, or the code of the setup error page
// when the database could not be found or loaded. The cookies are not used.
int handleRequest(const FormFields& form, const FormFields& query, const FormFields& cookies);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_HANDLE_REQUEST_H_
