#include "filter_sites.h"

#include <string.h>
#include <strings.h>

#include "apr_strings.h"
#include "http_core.h"
#include "http_log.h"


APLOG_USE_MODULE(isapi_filter);

typedef struct {
  server_rec* server;
  const char* path;
} FilterLog;

static void WINAPI writeFilterLog(void* context, DWORD severity, const char* message) {
  const FilterLog* log = context;
  if (log == NULL) return;
  int level = severity <= HOST_LOG_ERROR     ? APLOG_ERR
              : severity == HOST_LOG_WARNING ? APLOG_WARNING
                                             : APLOG_NOTICE;
  // The error log escapes what the message holds (a path with a line break, say).
  ap_log_error(APLOG_MARK, level, 0, log->server, "ISAPI filter %s: %s", log->path,
               message != NULL ? message : "");
}

static int hasFilter(const server_rec* server, const LoadedFilter* filter) {
  const IsapiServerConfig* config =
      ap_get_module_config(server->module_config, &isapi_filter_module);
  if (config->filters == NULL) return 0;
  for (int i = 0; i < config->filters->nelts; ++i) {
    if (APR_ARRAY_IDX(config->filters, i, const LoadedFilter*) == filter) return 1;
  }
  return 0;
}

static int namesItself(server_rec* server) {
  const core_dir_config* core = ap_get_core_module_config(server->lookup_defaults);
  return core != NULL && core->use_canonical_name == USE_CANONICAL_NAME_ON;
}

// The port ap_get_server_port gives a request to server under UseCanonicalName On: the port of
// its ServerName (inherited from the main server's), else the scheme's default.
static apr_port_t canonicalPort(const server_rec* server) {
  if (server->port != 0) return server->port;
  return server->server_scheme != NULL && strcasecmp(server->server_scheme, "https") == 0 ? 443
                                                                                           : 80;
}

static void tellFilter(apr_pool_t* pconf, apr_pool_t* ptemp, server_rec* s,
                       LoadedFilter* filter) {
  apr_array_header_t* sites = apr_array_make(ptemp, 4, sizeof(HOST_FILTER_SITE));
  apr_hash_t* seen = apr_hash_make(ptemp);
  for (server_rec* server = s; server != NULL; server = server->next) {
    if (server->server_hostname == NULL || !hasFilter(server, filter) || !namesItself(server)) {
      continue;
    }
    const char* port = apr_itoa(ptemp, canonicalPort(server));
    const char* key = apr_pstrcat(ptemp, server->server_hostname, ":", port, NULL);
    if (apr_hash_get(seen, key, APR_HASH_KEY_STRING) != NULL) continue;
    apr_hash_set(seen, key, APR_HASH_KEY_STRING, key);
    HOST_FILTER_SITE* site = apr_array_push(sites);
    site->serverName = server->server_hostname;
    site->serverPort = port;
  }
  FilterLog* log = apr_pcalloc(pconf, sizeof(*log));
  log->server = s;
  log->path = filter->path;
  filter->setFilterSites((const HOST_FILTER_SITE*)sites->elts, (DWORD)sites->nelts,
                         writeFilterLog, log);
}

void tellFiltersTheirSites(apr_pool_t* pconf, apr_pool_t* ptemp, server_rec* s,
                           apr_hash_t* loaded) {
  for (apr_hash_index_t* i = apr_hash_first(ptemp, loaded); i != NULL; i = apr_hash_next(i)) {
    LoadedFilter* filter = apr_hash_this_val(i);
    if (filter->setFilterSites != NULL) tellFilter(pconf, ptemp, s, filter);
  }
}
