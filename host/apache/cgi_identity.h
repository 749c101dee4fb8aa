// AUTH_USER and LOGON_USER for CGI programs, as IIS provides them.
#ifndef GATEKEEPER_HOST_APACHE_CGI_IDENTITY_H_
#define GATEKEEPER_HOST_APACHE_CGI_IDENTITY_H_

#include "httpd.h"

// The CGI variable, set to "1", of a request that Apache authenticated with credentials a
// filter put in place of the client's; absent otherwise. A user name mapped onto an account of
// the same name leaves AUTH_USER and LOGON_USER equal: this variable still tells a program that
// trusts only the server's own logons (an administration program) that the person behind the
// request knows a site user's password, not the account's.
#define LOGON_REPLACED_VARIABLE "LOGON_REPLACED_BY_FILTER"

// Fixups hook. For a request that Apache authenticated (r->user set): LOGON_USER is the account
// the request runs as (r->user); AUTH_USER is the name the client sent, which differs from it
// when a filter replaced the credentials; LOGON_REPLACED_VARIABLE is set when a filter replaced
// them. Unauthenticated requests get none of them.
int setCgiIdentity(request_rec* r);

#endif  // GATEKEEPER_HOST_APACHE_CGI_IDENTITY_H_
