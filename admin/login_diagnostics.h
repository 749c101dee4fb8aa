// The explanation shown when the registry could not be written.
#ifndef GATEKEEPER_ADMIN_LOGIN_DIAGNOSTICS_H_
#define GATEKEEPER_ADMIN_LOGIN_DIAGNOSTICS_H_

namespace gatekeeper {

// Lists the login information and the likely reason: anonymous access (AUTH_USER empty), a
// request logged on as another NT account (AUTH_USER differs from LOGON_USER, as when the
// filter maps it), or an account without administrative rights; each with a link to
// reauthenticate.
void writeLoginDiagnostics();

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_LOGIN_DIAGNOSTICS_H_
