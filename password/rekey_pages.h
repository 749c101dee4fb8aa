// rekey: a user of the site's authority logs in with name and password, sees the state of the
// account and changes the password. The login lives only in the forms: the status page copies
// User and Pass into hidden fields of the password form, and the change checks them again.
#ifndef GATEKEEPER_PASSWORD_REKEY_PAGES_H_
#define GATEKEEPER_PASSWORD_REKEY_PAGES_H_

#include "websupport/form_fields.h"

namespace gatekeeper::rekey {

// The page entry: the login form (empty Action), the status page ("edit") or the password
// change ("editdo", a storing page), on the authority bound to the site. Returns 0, or the
// setup error code 1, 2 or 3. The cookies are not used.
int handleRequest(const FormFields& form, const FormFields& query, const FormFields& cookies);

}  // namespace gatekeeper::rekey

#endif  // GATEKEEPER_PASSWORD_REKEY_PAGES_H_
