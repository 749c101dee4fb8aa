#include "filter_library.h"

#include <dlfcn.h>
#include <string.h>

#include "apr_strings.h"

// Optional export: called before the library is unloaded.
typedef BOOL(WINAPI* PFN_TERMINATEFILTER)(DWORD flags);
#define HSE_TERM_MUST_UNLOAD 0x00000001

static apr_status_t unloadFilterLibrary(void* data) {
  LoadedFilter* filter = data;
  // The log given with the sites lives in the pool being cleared: the filter lets go of it.
  if (filter->setFilterSites != NULL) filter->setFilterSites(NULL, 0, NULL, NULL);
  PFN_TERMINATEFILTER terminate = (PFN_TERMINATEFILTER)dlsym(filter->library, "TerminateFilter");
  if (terminate != NULL) terminate(HSE_TERM_MUST_UNLOAD);
  dlclose(filter->library);
  return APR_SUCCESS;
}

// Opens the library and finds its two entry points; the error text when it cannot.
static const char* openFilterLibrary(apr_pool_t* pool, const char* path, void** library,
                                     PFN_GETFILTERVERSION* getFilterVersion,
                                     PFN_HTTPFILTERPROC* httpFilterProc) {
  *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (*library == NULL) return apr_psprintf(pool, "cannot load %s: %s", path, dlerror());
  *getFilterVersion = (PFN_GETFILTERVERSION)dlsym(*library, "GetFilterVersion");
  *httpFilterProc = (PFN_HTTPFILTERPROC)dlsym(*library, "HttpFilterProc");
  if (*getFilterVersion == NULL || *httpFilterProc == NULL) {
    dlclose(*library);
    return apr_psprintf(pool, "%s does not export GetFilterVersion and HttpFilterProc", path);
  }
  return NULL;
}

const char* checkFilterLibrary(apr_pool_t* pool, const char* path) {
  void* library = NULL;
  PFN_GETFILTERVERSION getFilterVersion = NULL;
  PFN_HTTPFILTERPROC httpFilterProc = NULL;
  const char* error = openFilterLibrary(pool, path, &library, &getFilterVersion, &httpFilterProc);
  if (error == NULL) dlclose(library);
  return error;
}

const char* loadFilterLibrary(apr_pool_t* pool, const char* path, LoadedFilter** filter) {
  void* library = NULL;
  PFN_GETFILTERVERSION getFilterVersion = NULL;
  PFN_HTTPFILTERPROC httpFilterProc = NULL;
  const char* error = openFilterLibrary(pool, path, &library, &getFilterVersion, &httpFilterProc);
  if (error != NULL) return error;

  LoadedFilter* loaded = apr_pcalloc(pool, sizeof(*loaded));
  loaded->path = apr_pstrdup(pool, path);
  loaded->library = library;
  loaded->httpFilterProc = httpFilterProc;
  loaded->setFilterSites = (PFN_SETFILTERSITES)dlsym(library, SET_FILTER_SITES_EXPORT);
  loaded->refreshFilter = (PFN_REFRESHFILTER)dlsym(library, REFRESH_FILTER_EXPORT);

  HTTP_FILTER_VERSION version;
  memset(&version, 0, sizeof(version));
  version.dwServerFilterVersion = HTTP_FILTER_REVISION;
  if (!getFilterVersion(&version)) {
    dlclose(library);
    return apr_psprintf(pool, "%s refused to start: GetFilterVersion returned FALSE", path);
  }
  version.lpszFilterDesc[SF_MAX_FILTER_DESC_LEN - 1] = '\0';
  memcpy(loaded->description, version.lpszFilterDesc, sizeof(loaded->description));
  loaded->flags = version.dwFlags;
  apr_pool_cleanup_register(pool, loaded, unloadFilterLibrary, apr_pool_cleanup_null);
  *filter = loaded;
  return NULL;
}

int filterWantsAuthentication(const LoadedFilter* filter, int securePort) {
  if (!(filter->flags & SF_NOTIFY_AUTHENTICATION)) return 0;
  DWORD ports = filter->flags & (SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT);
  if (ports == 0) return 1;
  return (ports & (securePort ? SF_NOTIFY_SECURE_PORT : SF_NOTIFY_NONSECURE_PORT)) != 0;
}

static int priorityOf(const LoadedFilter* filter) {
  if (filter->flags & SF_NOTIFY_ORDER_HIGH) return 3;
  if (filter->flags & SF_NOTIFY_ORDER_MEDIUM) return 2;
  return 1;
}

void insertByPriority(apr_array_header_t* filters, LoadedFilter* filter) {
  apr_array_push(filters);
  LoadedFilter** items = (LoadedFilter**)filters->elts;
  int at = filters->nelts - 1;
  while (at > 0 && priorityOf(items[at - 1]) < priorityOf(filter)) {
    items[at] = items[at - 1];
    --at;
  }
  items[at] = filter;
}
