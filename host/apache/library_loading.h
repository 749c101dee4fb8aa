// ISAPI filter libraries in Apache's pools: checked by the directive, started with a
// configuration and stopped when its pool is cleared.
#ifndef GATEKEEPER_HOST_APACHE_LIBRARY_LOADING_H_
#define GATEKEEPER_HOST_APACHE_LIBRARY_LOADING_H_

#include "isapi_filter_module.h"

// Starts the library at path (filter_library.h) until pool is cleared. Returns NULL and sets
// *filter, or returns an error message.
const char* loadFilterLibrary(apr_pool_t* pool, const char* path, IsapiFilter** filter);

// NULL when the library at path loads and exports both entry points (not started), else the
// error message.
const char* checkFilterLibraryIn(apr_pool_t* pool, const char* path);

// Inserts filter into filters (IsapiFilter*) by its priority (insertByPriority).
void addByPriority(apr_array_header_t* filters, IsapiFilter* filter);

#endif  // GATEKEEPER_HOST_APACHE_LIBRARY_LOADING_H_
