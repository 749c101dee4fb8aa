// Shared state of mod_isapi_filter, the Apache httpd module that hosts ISAPI filter libraries:
// the module record, the per-server list of filters, and what the authentication notification
// leaves on a request for later phases.
#ifndef GATEKEEPER_HOST_APACHE_ISAPI_FILTER_MODULE_H_
#define GATEKEEPER_HOST_APACHE_ISAPI_FILTER_MODULE_H_

#include "httpd.h"
#include "http_config.h"
#include "apr_tables.h"
#include "filter_library.h"

extern module AP_MODULE_DECLARE_DATA isapi_filter_module;

typedef struct {
  // Library paths named by IsapiFilter: the main server's first, then the virtual host's own.
  apr_array_header_t* paths;
  // The started filters (IsapiFilter*, each loaded once per configuration and shared by every
  // server naming it) in calling order, filled at start-up.
  apr_array_header_t* filters;
} IsapiServerConfig;

// Left on the client's request when a filter replaced its credentials.
typedef struct {
  const char* sentUser;   // the user name as the client sent it
  const char* logonUser;  // the user name the filter put in its place
  // The Authorization header carrying the new credentials, NULL when the filter emptied them.
  // It stays out of the request's headers except while Apache authenticates one of its
  // requests (see replaced_credentials.h); zeroed when the request ends.
  const char* authorization;
  // The Authorization header the client sent, NULL when it sent none. It is back in the
  // request's headers whenever the replaced one is out, so that every module after
  // authentication (caches, logs, rewriting) sees the request as it would without the filter;
  // zeroed when the request ends.
  const char* clientAuthorization;
} ReplacedCredentials;

#endif  // GATEKEEPER_HOST_APACHE_ISAPI_FILTER_MODULE_H_
