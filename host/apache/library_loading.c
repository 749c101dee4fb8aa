#include "library_loading.h"

#include "apr_strings.h"

static apr_status_t unloadFilterLibrary(void* data) {
  stopFilterLibrary(data);
  return APR_SUCCESS;
}

const char* loadFilterLibrary(apr_pool_t* pool, const char* path, IsapiFilter** filter) {
  char error[FILTER_LIBRARY_ERROR_MAX];
  IsapiFilter* started = startFilterLibrary(path, error, sizeof(error));
  if (started == NULL) return apr_pstrdup(pool, error);
  apr_pool_cleanup_register(pool, started, unloadFilterLibrary, apr_pool_cleanup_null);
  *filter = started;
  return NULL;
}

const char* checkFilterLibraryIn(apr_pool_t* pool, const char* path) {
  char error[FILTER_LIBRARY_ERROR_MAX];
  return checkFilterLibrary(path, error, sizeof(error)) ? NULL : apr_pstrdup(pool, error);
}

void addByPriority(apr_array_header_t* filters, IsapiFilter* filter) {
  apr_array_push(filters);
  insertByPriority((const IsapiFilter**)filters->elts, (size_t)filters->nelts - 1, filter);
}
