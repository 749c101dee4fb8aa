// The authentication notification: once for every request a client sends to a server with
// filters, with or without credentials, before Apache's own access checks and authentication.
#ifndef GATEKEEPER_HOST_APACHE_AUTHENTICATION_NOTIFICATION_H_
#define GATEKEEPER_HOST_APACHE_AUTHENTICATION_NOTIFICATION_H_

#include "httpd.h"

// Header-parser hook. Calls the server's filters in order with the request's Basic
// credentials (empty for an anonymous request) until one handles the notification. Returns
// DECLINED to let the request go on (with the Authorization header rewritten when a filter
// replaced the credentials), or the HTTP status of the refusal.
int notifyAuthentication(request_rec* r);

#endif  // GATEKEEPER_HOST_APACHE_AUTHENTICATION_NOTIFICATION_H_
