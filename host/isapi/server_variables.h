// The server variables a filter reads through GetServerVariable, as IIS reports them at
// authentication time, over the facts and headers a host supplies (isapi_host.h).
#ifndef GATEKEEPER_HOST_ISAPI_SERVER_VARIABLES_H_
#define GATEKEEPER_HOST_ISAPI_SERVER_VARIABLES_H_

#include "isapi_host.h"

#ifdef __cplusplus
extern "C" {
#endif

// The value of the variable name (compared ignoring the case of ASCII letters) for request, in
// the request's memory, or NULL when the server knows no such variable (or has no memory to
// give). Known: SERVER_NAME, SERVER_PORT, SERVER_PROTOCOL, SERVER_SOFTWARE, REQUEST_METHOD,
// SCRIPT_NAME and URL (the path), QUERY_STRING, REMOTE_ADDR, REMOTE_HOST (the address),
// REMOTE_PORT, LOCAL_ADDR (the host's facts); SERVER_PORT_SECURE ("1"/"0") and HTTPS
// ("on"/"off") after securePort; AUTH_TYPE (the scheme of the Authorization header, or empty);
// ALL_HTTP (every header as "HTTP_NAME:value\n", NAME in upper case with '_' for '-'); and
// HTTP_<NAME> for the first request header of that name that is present ('_' standing for '-').
const char* serverVariable(const IsapiHost* host, void* request, int securePort,
                           const char* name);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_SERVER_VARIABLES_H_
