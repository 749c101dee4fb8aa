// What a web server supplies to host ISAPI filters: the callbacks through which the
// server-independent code of this directory reads a request and answers for it. Each server
// (Apache httpd, nginx) fills one IsapiHost; `request` is the server's own request record,
// passed through untouched.
#ifndef GATEKEEPER_HOST_ISAPI_ISAPI_HOST_H_
#define GATEKEEPER_HOST_ISAPI_ISAPI_HOST_H_

#include <stddef.h>

#include "filter_response.h"

#ifdef __cplusplus
extern "C" {
#endif

// The request facts a server reports itself; the others (SERVER_PORT_SECURE, HTTPS, AUTH_TYPE,
// ALL_HTTP, HTTP_<NAME>) follow from these and the request's headers (server_variables.h).
typedef enum {
  kIsapiServerName,      // the name CGI programs get as SERVER_NAME for the same request
  kIsapiServerPort,      // the port CGI programs get as SERVER_PORT
  kIsapiServerProtocol,  // "HTTP/1.1"
  kIsapiServerSoftware,  // the server's banner
  kIsapiRequestMethod,
  kIsapiRequestPath,     // the decoded path, without the query
  kIsapiQueryString,
  kIsapiRemoteAddress,
  kIsapiRemotePort,
  kIsapiLocalAddress
} IsapiRequestFact;

typedef enum { kIsapiLogError, kIsapiLogWarning, kIsapiLogInfo, kIsapiLogDebug } IsapiLogLevel;

typedef struct IsapiHost {
  // The fact's text, valid as long as the request (NULL reads as empty).
  const char* (*fact)(void* request, IsapiRequestFact fact);
  // Calls visit for each request header in order until it returns 0. Texts need no zero.
  void (*forEachHeader)(void* request,
                        int (*visit)(void* context, const char* name, size_t nameLength,
                                     const char* value, size_t valueLength),
                        void* context);
  // size zeroed bytes that live as long as the request, or NULL.
  void* (*allocate)(void* request, size_t size);
  // Adds one checked header line to the response, whatever its status; 0 when it cannot.
  int (*addResponseHeader)(void* request, const FilterHeader* header);
  // One line (no line end) for the server's error log, about this request.
  void (*log)(void* request, IsapiLogLevel level, const char* message);
  // A failed logon a filter reports (SF_REQ_REPORT_FAILED_LOGON): user as the client sent it,
  // reason NULL when the filter knows no such user.
  void (*logFailedLogon)(void* request, const char* user, const char* reason);
} IsapiHost;

// text (length bytes) copied with a terminating zero into memory of the request; NULL when the
// host has none to give.
char* isapiCopy(const IsapiHost* host, void* request, const char* text, size_t length);

// Formats a line and hands it to host->log.
void isapiLog(const IsapiHost* host, void* request, IsapiLogLevel level, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_ISAPI_HOST_H_
