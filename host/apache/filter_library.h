// Loading an ISAPI filter library into the server: dlopen, the two entry points, and
// GetFilterVersion. A library stays loaded until the pool it was loaded into is cleared.
#ifndef GATEKEEPER_HOST_APACHE_FILTER_LIBRARY_H_
#define GATEKEEPER_HOST_APACHE_FILTER_LIBRARY_H_

#include "isapi_filter_module.h"

// Loads the library at path into pool and asks it for its version record. Returns NULL and
// sets *filter, or returns an error message (the library is not kept).
const char* loadFilterLibrary(apr_pool_t* pool, const char* path, LoadedFilter** filter);

// Opens the library at path and finds both entry points without starting it (no
// GetFilterVersion), then closes it. NULL, or the error message loadFilterLibrary would give.
const char* checkFilterLibrary(apr_pool_t* pool, const char* path);

// Whether filter asked for authentication notifications on a port of this kind. A filter that
// names neither secure nor non-secure ports gets both.
int filterWantsAuthentication(const LoadedFilter* filter, int securePort);

// Inserts filter into filters (LoadedFilter*) after every filter of the same or a higher
// priority (SF_NOTIFY_ORDER_HIGH, MEDIUM, LOW), so equal priorities keep configuration order.
void insertByPriority(apr_array_header_t* filters, LoadedFilter* filter);

#endif  // GATEKEEPER_HOST_APACHE_FILTER_LIBRARY_H_
