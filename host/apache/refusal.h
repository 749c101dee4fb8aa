// The response to a request that a filter refused, or that the host refuses on a filter's
// behalf.
#ifndef GATEKEEPER_HOST_APACHE_REFUSAL_H_
#define GATEKEEPER_HOST_APACHE_REFUSAL_H_

#include "httpd.h"

// Prepares r to be answered with status: reason (when not NULL) as the reason phrase, the
// already checked header text headers (may be NULL) added, and for 401 a
// "WWW-Authenticate: Basic realm=..." unless one is there already; the realm is the AuthName
// in force for the request, else the host the client asked for. Returns status, for a hook to
// return.
int refuseRequest(request_rec* r, int status, const char* reason, const char* headers);

#endif  // GATEKEEPER_HOST_APACHE_REFUSAL_H_
