// The login information box in the frame's left column.
#ifndef GATEKEEPER_ADMIN_LOGIN_BOX_H_
#define GATEKEEPER_ADMIN_LOGIN_BOX_H_

namespace gatekeeper {

// Writes who the web server says the administrator is (AUTH_USER, LOGON_USER, COMPUTERNAME,
// AUTH_TYPE; unset ones empty) and the link "Authenticate as another user".
void writeLoginBox();

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_LOGIN_BOX_H_
