// The reauthentication exchange: lets the administrator log on to the web server as another
// user. The links that lead here carry the user name of the moment as Olduser.
#ifndef GATEKEEPER_ADMIN_REAUTHENTICATE_H_
#define GATEKEEPER_ADMIN_REAUTHENTICATE_H_

#include "websupport/form_fields.h"

namespace gatekeeper {

// While the browser still sends the user named by Olduser (ignoring case; both empty counts
// as the same), answers "Status: 401" and nothing else, so the browser asks for other
// credentials and repeats the request. Once AUTH_USER differs, confirms the new user with a
// link back to the program. Opens neither the registry nor the database.
void reauthenticate(const FormFields& query);

// Writes the URL that starts the exchange for the current AUTH_USER, escaped for an attribute.
void writeReauthenticateUrl();

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_REAUTHENTICATE_H_
