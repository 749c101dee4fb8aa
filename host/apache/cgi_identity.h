// AUTH_USER and LOGON_USER for CGI programs, as IIS provides them.
#ifndef GATEKEEPER_HOST_APACHE_CGI_IDENTITY_H_
#define GATEKEEPER_HOST_APACHE_CGI_IDENTITY_H_

#include "httpd.h"

// Fixups hook. For a request that Apache authenticated (r->user set): LOGON_USER is the account
// the request runs as (r->user); AUTH_USER is the name the client sent, which differs from it
// when a filter replaced the credentials. Unauthenticated requests get neither.
int setCgiIdentity(request_rec* r);

#endif  // GATEKEEPER_HOST_APACHE_CGI_IDENTITY_H_
