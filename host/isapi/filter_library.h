// An ISAPI filter library in the server: checking it (dlopen and the two entry points),
// starting it (GetFilterVersion and the optional exports), stopping it (SetFilterSites with
// nothing, TerminateFilter, dlclose), and the order in which a request's filters run.
#ifndef GATEKEEPER_HOST_ISAPI_FILTER_LIBRARY_H_
#define GATEKEEPER_HOST_ISAPI_FILTER_LIBRARY_H_

#include <stddef.h>

#include "platform/isapi.h"
#include "platform/isapi_host_extension.h"

#ifdef __cplusplus
extern "C" {
#endif

// Optional export: called before the library is unloaded.
typedef BOOL(WINAPI* PFN_TERMINATEFILTER)(DWORD flags);
#define HSE_TERM_MUST_UNLOAD 0x00000001

typedef struct IsapiFilter {
  char* path;
  void* library;
  PFN_HTTPFILTERPROC httpFilterProc;
  PFN_SETFILTERSITES setFilterSites;    // the optional export, or NULL
  PFN_REFRESHFILTER refreshFilter;      // the optional export, or NULL
  PFN_TERMINATEFILTER terminateFilter;  // the optional export, or NULL
  DWORD flags;                          // dwFlags from GetFilterVersion
  char description[SF_MAX_FILTER_DESC_LEN];
} IsapiFilter;

// Room for the error texts below (the path and the system's reason).
#define FILTER_LIBRARY_ERROR_MAX 1024

// Opens the library at path and finds both entry points without starting it, then closes it.
// 1, or 0 with the reason in error ("cannot load PATH: REASON", "PATH does not export ...").
int checkFilterLibrary(const char* path, char* error, size_t errorSize);

// Loads the library at path and starts it (GetFilterVersion). The started filter (free it with
// stopFilterLibrary), or NULL with the reason in error; a library that fails is not kept.
IsapiFilter* startFilterLibrary(const char* path, char* error, size_t errorSize);

// Lets the filter go: SetFilterSites with no sites and no log, TerminateFilter, dlclose; then
// frees filter. NULL is nothing.
void stopFilterLibrary(IsapiFilter* filter);

// Whether filter asked for authentication notifications on a port of this kind. A filter that
// names neither secure nor non-secure ports gets both.
int filterWantsAuthentication(const IsapiFilter* filter, int securePort);

// Inserts filter into filters[0..count) (room for one more) after every filter of the same or
// a higher priority (SF_NOTIFY_ORDER_HIGH, MEDIUM, LOW), so that equal priorities keep their
// order. Returns count + 1.
size_t insertByPriority(const IsapiFilter** filters, size_t count, const IsapiFilter* filter);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_FILTER_LIBRARY_H_
