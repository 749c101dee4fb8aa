// What our hosts of ISAPI filters on Linux (mod_isapi_filter in Apache httpd,
// ngx_http_isapi_filter_module in nginx) offer a filter beyond the ISAPI filter interface. IIS offers none of it: a filter built for Windows never uses
// it, and a filter loaded by another host finds the request refused (ServerSupportFunction
// answers FALSE) and its optional export never called, and works on without them.
#ifndef GATEKEEPER_PLATFORM_ISAPI_HOST_EXTENSION_H_
#define GATEKEEPER_PLATFORM_ISAPI_HOST_EXTENSION_H_

#include "platform/isapi.h"

#ifndef _WIN32

#ifdef __cplusplus
extern "C" {
#endif

// ServerSupportFunction request: one failed logon of the request being notified, for the
// server's error log, where tools that watch for repeated failures (fail2ban) read it.
//   pData  the user name as the client sent it (zero-terminated);
//   ul1    (const char*) why the logon failed, e.g. "Password Mismatch" or "account disabled";
//          0 when the authority knows no such user.
// The host writes one line to the error log of the request's server, in the shape of its own
// Basic authentication's: with a reason `user NAME: authentication failure for "PATH": REASON`,
// without one `user NAME not found: PATH`, PATH being the request's path. No control character
// or line break of these texts reaches the log raw (the error log escapes them). Nothing of the
// response changes. Answers TRUE; FALSE with ERROR_INVALID_PARAMETER when pData is NULL. The
// thread's last error is left alone on success.
#define SF_REQ_REPORT_FAILED_LOGON ((enum SF_REQ_TYPE)(SF_REQ_HOST_EXTENSIONS + 1))

// One site whose requests the host sends to the filter, named as the host reports it to the
// filter (and to CGI programs) in SERVER_NAME and SERVER_PORT.
typedef struct _HOST_FILTER_SITE {
  const char* serverName;
  const char* serverPort;
} HOST_FILTER_SITE;

// Severities of a line for the host's error log.
#define HOST_LOG_ERROR 3
#define HOST_LOG_WARNING 4
#define HOST_LOG_NOTICE 5

// Writes message (one line, no line end; the host's log escapes what it must, and the host adds
// the filter's name) to the host's error log, for the context the host gave with it. Callable from any
// thread.
typedef void(WINAPI* PFN_HOST_LOG)(void* hostContext, DWORD severity, const char* message);

// Optional export "SetFilterSites", looked up by name like TerminateFilter. The host calls it
// after GetFilterVersion succeeded, in the process and configuration that serve requests, before
// any notification and with no notification in progress:
//   sites, count   every site whose requests go to the filter, each once (count may be 0); the
//                  array and its texts are valid during the call only;
//   log, context   where the filter writes its diagnostics from now on (for example about a
//                  database it loads later), on any thread, until the next call.
// Each call replaces what the previous one gave. Before the host unloads the library it calls
// it once more with no sites and a NULL log; once that call has returned, the filter never
// calls the previous log again (a call in progress on another thread has ended). Returns TRUE.
typedef BOOL(WINAPI* PFN_SETFILTERSITES)(const HOST_FILTER_SITE* sites, DWORD count,
                                         PFN_HOST_LOG log, void* context);
#define SET_FILTER_SITES_EXPORT "SetFilterSites"

// Optional export "RefreshFilter", looked up by name like SetFilterSites. A host whose processes
// include one that starts the filter but serves no requests (Apache's parent, whose children
// inherit the filter) calls it there from time to time: the filter follows its data as a
// serving process does at a request, so that the process lets go of data replaced since, and
// the processes it starts later begin with the data in force. Returns TRUE.
typedef BOOL(WINAPI* PFN_REFRESHFILTER)(void);
#define REFRESH_FILTER_EXPORT "RefreshFilter"

#ifdef __cplusplus
}
#endif

#endif  // _WIN32

#endif  // GATEKEEPER_PLATFORM_ISAPI_HOST_EXTENSION_H_
