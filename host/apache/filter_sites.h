// The host's side of SetFilterSites (platform/isapi_host_extension.h): which sites each filter
// serves, and the error log it writes its diagnostics to.
#ifndef GATEKEEPER_HOST_APACHE_FILTER_SITES_H_
#define GATEKEEPER_HOST_APACHE_FILTER_SITES_H_

#include "apr_hash.h"
#include "isapi_filter_module.h"

// For every filter in loaded (path -> IsapiFilter*) that exports SetFilterSites: calls it with
// every server of s (the main server and its virtual hosts) that has the filter and names
// itself (UseCanonicalName On), as the SERVER_NAME and SERVER_PORT that requests to that server
// report, each host:port once; and with a log that writes to s's error log, prefixed with the
// filter's path, until the library is unloaded with pconf. Servers under UseCanonicalName Off
// are left out: their requests carry whatever name the client sent.
void tellFiltersTheirSites(apr_pool_t* pconf, apr_pool_t* ptemp, server_rec* s, apr_hash_t* loaded);

#endif  // GATEKEEPER_HOST_APACHE_FILTER_SITES_H_
