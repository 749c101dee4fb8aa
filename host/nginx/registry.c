// The filter libraries started in this process, across configurations: nginx builds a new
// configuration while the one it replaces still lives (a reload under master_process off keeps
// the old one until its requests are done), so a library is started once per process and let
// go (SetFilterSites with nothing, TerminateFilter, dlclose) only when no configuration of the
// process names it any more. Each configuration started here tells every library its sites
// and its error log.

#include <stdlib.h>
#include <string.h>

#include "log_text.h"
#include "ngx_http_isapi_filter.h"

typedef struct StartedLibrary {
  IsapiFilter* filter;
  ngx_uint_t uses;  // configurations of this process that started it
  struct StartedLibrary* next;
} StartedLibrary;

// Only the process's main thread starts and stops filters.
static StartedLibrary* started_libraries = NULL;

static StartedLibrary* ngx_http_isapi_find_started(const ngx_str_t* path) {
  for (StartedLibrary* s = started_libraries; s != NULL; s = s->next) {
    if (strlen(s->filter->path) == path->len &&
        ngx_strncmp(s->filter->path, path->data, path->len) == 0) {
      return s;
    }
  }
  return NULL;
}

static void ngx_http_isapi_release(IsapiFilter* filter) {
  for (StartedLibrary** at = &started_libraries; *at != NULL; at = &(*at)->next) {
    StartedLibrary* s = *at;
    if (s->filter != filter) continue;
    if (--s->uses == 0) {
      *at = s->next;
      stopFilterLibrary(s->filter);
      free(s);
    }
    return;
  }
}

// Where a filter's own lines go: the configuration's error log, from any thread (nginx writes
// a line with one write(2)).
typedef struct {
  ngx_log_t* log;
  const char* path;
} FilterLog;

static void WINAPI ngx_http_isapi_filter_log(void* context, DWORD severity, const char* message) {
  const FilterLog* log = context;
  if (log == NULL) return;
  static const ngx_uint_t kLevels[] = {NGX_LOG_ERR, NGX_LOG_WARN, NGX_LOG_NOTICE};
  if (message == NULL) message = "";
  // nginx's error log writes what it is given: no line break of the message gets in raw.
  char* escaped = malloc(escapedLogTextSize(message));
  ngx_log_error(kLevels[hostLogRank(severity)], log->log, 0, "ISAPI filter %s: %s", log->path,
                escaped != NULL ? escapeLogText(message, escaped) : "(out of memory)");
  free(escaped);
}

ngx_int_t ngx_http_isapi_start_filters(ngx_cycle_t* cycle) {
  ngx_http_isapi_main_conf_t* mcf =
      ngx_http_cycle_get_module_main_conf(cycle, ngx_http_isapi_filter_module);
  if (mcf == NULL || mcf->started || mcf->libraries.nelts == 0) return NGX_OK;
  ngx_pool_cleanup_t* cleanup = ngx_pool_cleanup_add(cycle->pool, 0);
  if (cleanup == NULL) return NGX_ERROR;
  cleanup->handler = (ngx_pool_cleanup_pt)ngx_http_isapi_stop_filters;
  cleanup->data = cycle;
  mcf->started = 1;

  ngx_http_isapi_library_t** libraries = mcf->libraries.elts;
  for (ngx_uint_t i = 0; i < mcf->libraries.nelts; ++i) {
    ngx_http_isapi_library_t* library = libraries[i];
    StartedLibrary* s = ngx_http_isapi_find_started(&library->path);
    if (s == NULL) {
      char error[FILTER_LIBRARY_ERROR_MAX];
      s = calloc(1, sizeof(*s));
      if (s == NULL) return NGX_ERROR;
      s->filter = startFilterLibrary((const char*)library->path.data, error, sizeof(error));
      if (s->filter == NULL) {
        free(s);
        ngx_log_error(NGX_LOG_EMERG, cycle->log, 0, "isapi_filter: %s", error);
        return NGX_ERROR;
      }
      s->next = started_libraries;
      started_libraries = s;
      ngx_log_error(NGX_LOG_INFO, cycle->log, 0, "isapi_filter: started %V (%s)", &library->path,
                    s->filter->description);
    }
    ++s->uses;
    library->filter = s->filter;
    if (s->filter->setFilterSites != NULL) {
      FilterLog* log = ngx_palloc(cycle->pool, sizeof(*log));
      if (log == NULL) return NGX_ERROR;
      log->log = mcf->log != NULL ? mcf->log : cycle->log;
      log->path = (const char*)library->path.data;
      s->filter->setFilterSites(library->sites.sites, (DWORD)library->sites.count,
                                ngx_http_isapi_filter_log, log);
    }
  }
  return NGX_OK;
}

void ngx_http_isapi_stop_filters(ngx_cycle_t* cycle) {
  ngx_http_isapi_main_conf_t* mcf =
      ngx_http_cycle_get_module_main_conf(cycle, ngx_http_isapi_filter_module);
  if (mcf == NULL || !mcf->started) return;
  mcf->started = 0;
  ngx_http_isapi_library_t** libraries = mcf->libraries.elts;
  for (ngx_uint_t i = 0; i < mcf->libraries.nelts; ++i) {
    if (libraries[i]->filter == NULL) continue;
    ngx_http_isapi_release(libraries[i]->filter);
    libraries[i]->filter = NULL;
  }
}

ngx_int_t ngx_http_isapi_collect_sites(ngx_conf_t* cf) {
  ngx_http_core_main_conf_t* cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
  if (cmcf->ports == NULL) return NGX_OK;
  ngx_http_conf_port_t* ports = cmcf->ports->elts;
  for (ngx_uint_t p = 0; p < cmcf->ports->nelts; ++p) {
    ngx_http_conf_addr_t* addrs = ports[p].addrs.elts;
    for (ngx_uint_t a = 0; a < ports[p].addrs.nelts; ++a) {
      ngx_http_core_srv_conf_t** servers = addrs[a].servers.elts;
      for (ngx_uint_t s = 0; s < addrs[a].servers.nelts; ++s) {
        ngx_http_isapi_srv_conf_t* scf =
            servers[s]->ctx->srv_conf[ngx_http_isapi_filter_module.ctx_index];
        if (scf->libraries == NULL) continue;
        ngx_http_isapi_library_t** libraries = scf->libraries->elts;
        for (ngx_uint_t l = 0; l < scf->libraries->nelts; ++l) {
          if (!addSite(&libraries[l]->sites, (const char*)servers[s]->server_name.data,
                       servers[s]->server_name.len, ports[p].port)) {
            return NGX_ERROR;
          }
        }
      }
    }
  }
  return NGX_OK;
}
