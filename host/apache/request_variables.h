// The server variables that a filter can read through GetServerVariable, taken from the
// request as IIS reports them at authentication time.
#ifndef GATEKEEPER_HOST_APACHE_REQUEST_VARIABLES_H_
#define GATEKEEPER_HOST_APACHE_REQUEST_VARIABLES_H_

#include "httpd.h"

// The value of the variable name (compared ignoring case) for r, allocated in r->pool, or NULL
// when the server knows no such variable. Known: SERVER_NAME and SERVER_PORT (what Apache tells
// CGI programs for the same request: ap_get_server_name, ap_get_server_port, which follow
// UseCanonicalName), SERVER_PORT_SECURE, SERVER_PROTOCOL, SERVER_SOFTWARE, REQUEST_METHOD,
// SCRIPT_NAME and URL (the path), QUERY_STRING, AUTH_TYPE (the scheme of the Authorization
// header, or empty), REMOTE_ADDR, REMOTE_HOST, REMOTE_PORT, LOCAL_ADDR, HTTPS, ALL_HTTP, and
// HTTP_<NAME> for a request header that is present (NAME with '_' for '-').
const char* requestVariable(request_rec* r, const char* name);

#endif  // GATEKEEPER_HOST_APACHE_REQUEST_VARIABLES_H_
