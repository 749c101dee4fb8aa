#include "filter_library.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Opens the library and finds its two entry points; 0 with the error text when it cannot.
static int openFilterLibrary(const char* path, void** library,
                             PFN_GETFILTERVERSION* getFilterVersion,
                             PFN_HTTPFILTERPROC* httpFilterProc, char* error, size_t errorSize) {
  *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (*library == NULL) {
    const char* reason = dlerror();
    snprintf(error, errorSize, "cannot load %s: %s", path, reason != NULL ? reason : "unknown");
    return 0;
  }
  *getFilterVersion = (PFN_GETFILTERVERSION)dlsym(*library, "GetFilterVersion");
  *httpFilterProc = (PFN_HTTPFILTERPROC)dlsym(*library, "HttpFilterProc");
  if (*getFilterVersion == NULL || *httpFilterProc == NULL) {
    dlclose(*library);
    snprintf(error, errorSize, "%s does not export GetFilterVersion and HttpFilterProc", path);
    return 0;
  }
  return 1;
}

int checkFilterLibrary(const char* path, char* error, size_t errorSize) {
  void* library = NULL;
  PFN_GETFILTERVERSION getFilterVersion = NULL;
  PFN_HTTPFILTERPROC httpFilterProc = NULL;
  if (!openFilterLibrary(path, &library, &getFilterVersion, &httpFilterProc, error, errorSize)) {
    return 0;
  }
  dlclose(library);
  return 1;
}

IsapiFilter* startFilterLibrary(const char* path, char* error, size_t errorSize) {
  void* library = NULL;
  PFN_GETFILTERVERSION getFilterVersion = NULL;
  PFN_HTTPFILTERPROC httpFilterProc = NULL;
  if (!openFilterLibrary(path, &library, &getFilterVersion, &httpFilterProc, error, errorSize)) {
    return NULL;
  }
  IsapiFilter* filter = calloc(1, sizeof(*filter));
  char* pathCopy = strdup(path);
  if (filter == NULL || pathCopy == NULL) {
    free(filter);
    free(pathCopy);
    dlclose(library);
    snprintf(error, errorSize, "cannot start %s: out of memory", path);
    return NULL;
  }
  filter->path = pathCopy;
  filter->library = library;
  filter->httpFilterProc = httpFilterProc;
  filter->setFilterSites = (PFN_SETFILTERSITES)dlsym(library, SET_FILTER_SITES_EXPORT);
  filter->refreshFilter = (PFN_REFRESHFILTER)dlsym(library, REFRESH_FILTER_EXPORT);
  filter->terminateFilter = (PFN_TERMINATEFILTER)dlsym(library, "TerminateFilter");

  HTTP_FILTER_VERSION version;
  memset(&version, 0, sizeof(version));
  version.dwServerFilterVersion = HTTP_FILTER_REVISION;
  if (!getFilterVersion(&version)) {
    dlclose(library);
    free(pathCopy);
    free(filter);
    snprintf(error, errorSize, "%s refused to start: GetFilterVersion returned FALSE", path);
    return NULL;
  }
  version.lpszFilterDesc[SF_MAX_FILTER_DESC_LEN - 1] = '\0';
  memcpy(filter->description, version.lpszFilterDesc, sizeof(filter->description));
  filter->flags = version.dwFlags;
  return filter;
}

void stopFilterLibrary(IsapiFilter* filter) {
  if (filter == NULL) return;
  // The log given with the sites belongs to the configuration going away: the filter lets go.
  if (filter->setFilterSites != NULL) filter->setFilterSites(NULL, 0, NULL, NULL);
  if (filter->terminateFilter != NULL) filter->terminateFilter(HSE_TERM_MUST_UNLOAD);
  dlclose(filter->library);
  free(filter->path);
  free(filter);
}

int filterWantsAuthentication(const IsapiFilter* filter, int securePort) {
  if (!(filter->flags & SF_NOTIFY_AUTHENTICATION)) return 0;
  DWORD ports = filter->flags & (SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT);
  if (ports == 0) return 1;
  return (ports & (securePort ? SF_NOTIFY_SECURE_PORT : SF_NOTIFY_NONSECURE_PORT)) != 0;
}

static int priorityOf(const IsapiFilter* filter) {
  if (filter->flags & SF_NOTIFY_ORDER_HIGH) return 3;
  if (filter->flags & SF_NOTIFY_ORDER_MEDIUM) return 2;
  return 1;
}

size_t insertByPriority(const IsapiFilter** filters, size_t count, const IsapiFilter* filter) {
  size_t at = count;
  while (at > 0 && priorityOf(filters[at - 1]) < priorityOf(filter)) {
    filters[at] = filters[at - 1];
    --at;
  }
  filters[at] = filter;
  return count + 1;
}
