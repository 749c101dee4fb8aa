#include "filter_sites.h"

#include <string.h>
#include <strings.h>

#include "apr_strings.h"
#include "http_core.h"
#include "http_log.h"

#include "site_list.h"

APLOG_USE_MODULE(isapi_filter);

typedef struct {
  server_rec* server;
  const char* path;
} FilterLog;

static void WINAPI writeFilterLog(void* context, DWORD severity, const char* message) {
  const FilterLog* log = context;
  if (log == NULL) return;
  static const int kLevels[] = {APLOG_ERR, APLOG_WARNING, APLOG_NOTICE};
  int level = kLevels[hostLogRank(severity)];
  // The error log escapes what the message holds (a path with a line break, say).
  ap_log_error(APLOG_MARK, level, 0, log->server, "ISAPI filter %s: %s", log->path,
               message != NULL ? message : "");
}

static int hasFilter(const server_rec* server, const IsapiFilter* filter) {
  const IsapiServerConfig* config =
      ap_get_module_config(server->module_config, &isapi_filter_module);
  if (config->filters == NULL) return 0;
  for (int i = 0; i < config->filters->nelts; ++i) {
    if (APR_ARRAY_IDX(config->filters, i, const IsapiFilter*) == filter) return 1;
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
                       IsapiFilter* filter) {
  (void)ptemp;
  SiteList sites = {NULL, 0, 0};
  for (server_rec* server = s; server != NULL; server = server->next) {
    if (server->server_hostname == NULL || !hasFilter(server, filter) || !namesItself(server)) {
      continue;
    }
    if (!addSite(&sites, server->server_hostname, strlen(server->server_hostname),
                 canonicalPort(server))) {
      ap_log_error(APLOG_MARK, APLOG_ERR, 0, s, "IsapiFilter: out of memory for the sites of %s",
                   filter->path);
      break;
    }
  }
  FilterLog* log = apr_pcalloc(pconf, sizeof(*log));
  log->server = s;
  log->path = filter->path;
  filter->setFilterSites(sites.sites, (DWORD)sites.count, writeFilterLog, log);
  clearSites(&sites);
}

void tellFiltersTheirSites(apr_pool_t* pconf, apr_pool_t* ptemp, server_rec* s,
                           apr_hash_t* loaded) {
  for (apr_hash_index_t* i = apr_hash_first(ptemp, loaded); i != NULL; i = apr_hash_next(i)) {
    IsapiFilter* filter = apr_hash_this_val(i);
    if (filter->setFilterSites != NULL) tellFilter(pconf, ptemp, s, filter);
  }
}
