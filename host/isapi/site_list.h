// The sites a host tells a filter through SetFilterSites (platform/isapi_host_extension.h):
// collected from the server's configuration, each name and port once.
#ifndef GATEKEEPER_HOST_ISAPI_SITE_LIST_H_
#define GATEKEEPER_HOST_ISAPI_SITE_LIST_H_

#include <stddef.h>

#include "platform/isapi_host_extension.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  HOST_FILTER_SITE* sites;  // the texts are the list's own copies
  size_t count;
  size_t capacity;
} SiteList;

// Adds name (nameLength bytes) with port unless the list holds that pair already (names
// compared ignoring ASCII case, as host names are). 1, or 0 when out of memory.
int addSite(SiteList* list, const char* name, size_t nameLength, unsigned port);

// Frees what the list holds and empties it.
void clearSites(SiteList* list);

// The level of the host's log for a severity of PFN_HOST_LOG: HOST_LOG_ERROR (or a more severe
// one) is 0, HOST_LOG_WARNING 1, anything else 2 (notice).
int hostLogRank(DWORD severity);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_SITE_LIST_H_
