// The authentication notification: once for every request a client sends to a server with
// filters, with or without credentials, before Apache's own access checks and authentication.
#ifndef GATEKEEPER_HOST_APACHE_AUTHENTICATION_NOTIFICATION_H_
#define GATEKEEPER_HOST_APACHE_AUTHENTICATION_NOTIFICATION_H_

#include "httpd.h"

// Header-parser hook, for the client's request only (not its internal redirects or
// subrequests). Calls the server's filters in order with the request's Basic credentials
// (empty for an anonymous request) until one handles the notification. Returns DECLINED to let
// the request go on, or the HTTP status of the refusal. When a filter replaced the
// credentials, the client's Authorization header leaves the request and the new credentials
// are kept for Apache's authentication (replaced_credentials.h). The decoded credentials are
// erased before it returns.
int notifyAuthentication(request_rec* r);

#endif  // GATEKEEPER_HOST_APACHE_AUTHENTICATION_NOTIFICATION_H_
