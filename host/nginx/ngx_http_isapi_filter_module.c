// ngx_http_isapi_filter_module: hosts ISAPI filter libraries in nginx, as mod_isapi_filter
// does in Apache httpd.
//
//   isapi_filter /path/to/filter.so;     (http, server, location; may repeat)
//
// A level's filters run after those of the levels around it (http, then server, then the
// location's own), each library once. The directive checks that the library loads and exports
// the two entry points without starting it, so that `nginx -t` fails on a wrong path with the
// system's reason. Filters are started (GetFilterVersion, SetFilterSites) only in a process
// that serves requests: each worker, or nginx itself under `master_process off`; never in the
// master nor by `nginx -t`. A library stays started in a process as long as any of its
// configurations names it (registry.c).

#include "filter_library.h"
#include "ngx_http_isapi_filter.h"

static char* ngx_http_isapi_filter(ngx_conf_t* cf, ngx_command_t* cmd, void* conf);
static ngx_int_t ngx_http_isapi_postconfiguration(ngx_conf_t* cf);
static void* ngx_http_isapi_create_main_conf(ngx_conf_t* cf);
static void* ngx_http_isapi_create_srv_conf(ngx_conf_t* cf);
static void* ngx_http_isapi_create_loc_conf(ngx_conf_t* cf);
static char* ngx_http_isapi_merge_loc_conf(ngx_conf_t* cf, void* parent, void* child);
static ngx_int_t ngx_http_isapi_init_module(ngx_cycle_t* cycle);
static ngx_int_t ngx_http_isapi_init_process(ngx_cycle_t* cycle);
static void ngx_http_isapi_exit_process(ngx_cycle_t* cycle);

static ngx_command_t ngx_http_isapi_commands[] = {
    {ngx_string("isapi_filter"),
     NGX_HTTP_MAIN_CONF | NGX_HTTP_SRV_CONF | NGX_HTTP_LOC_CONF | NGX_CONF_TAKE1,
     ngx_http_isapi_filter, NGX_HTTP_LOC_CONF_OFFSET, 0, NULL},
    ngx_null_command};

static ngx_http_module_t ngx_http_isapi_filter_module_ctx = {
    ngx_http_isapi_add_variables,      // preconfiguration
    ngx_http_isapi_postconfiguration,  // postconfiguration
    ngx_http_isapi_create_main_conf,   // create main configuration
    NULL,                              // init main configuration
    ngx_http_isapi_create_srv_conf,    // create server configuration
    NULL,                              // merge server configuration
    ngx_http_isapi_create_loc_conf,    // create location configuration
    ngx_http_isapi_merge_loc_conf      // merge location configuration
};

ngx_module_t ngx_http_isapi_filter_module = {
    NGX_MODULE_V1,
    &ngx_http_isapi_filter_module_ctx,  // module context
    ngx_http_isapi_commands,            // module directives
    NGX_HTTP_MODULE,                    // module type
    NULL,                               // init master
    ngx_http_isapi_init_module,         // init module
    ngx_http_isapi_init_process,        // init process
    NULL,                               // init thread
    NULL,                               // exit thread
    ngx_http_isapi_exit_process,        // exit process
    ngx_http_isapi_exit_process,        // exit master (nginx itself under master_process off)
    NGX_MODULE_V1_PADDING};

static void* ngx_http_isapi_create_main_conf(ngx_conf_t* cf) {
  ngx_http_isapi_main_conf_t* mcf = ngx_pcalloc(cf->pool, sizeof(*mcf));
  if (mcf == NULL) return NULL;
  if (ngx_array_init(&mcf->libraries, cf->pool, 2, sizeof(ngx_http_isapi_library_t*)) != NGX_OK) {
    return NULL;
  }
  return mcf;
}

static void* ngx_http_isapi_create_srv_conf(ngx_conf_t* cf) {
  return ngx_pcalloc(cf->pool, sizeof(ngx_http_isapi_srv_conf_t));
}

static void* ngx_http_isapi_create_loc_conf(ngx_conf_t* cf) {
  return ngx_pcalloc(cf->pool, sizeof(ngx_http_isapi_loc_conf_t));
}

static void ngx_http_isapi_clear_sites(void* data) {
  clearSites(&((ngx_http_isapi_library_t*)data)->sites);
}

// The configuration's record of the library at path, made on first use.
static ngx_http_isapi_library_t* ngx_http_isapi_library(ngx_conf_t* cf, ngx_str_t* path) {
  ngx_http_isapi_main_conf_t* mcf =
      ngx_http_conf_get_module_main_conf(cf, ngx_http_isapi_filter_module);
  ngx_http_isapi_library_t** libraries = mcf->libraries.elts;
  for (ngx_uint_t i = 0; i < mcf->libraries.nelts; ++i) {
    if (libraries[i]->path.len == path->len &&
        ngx_strncmp(libraries[i]->path.data, path->data, path->len) == 0) {
      return libraries[i];
    }
  }
  ngx_http_isapi_library_t* library = ngx_pcalloc(cf->pool, sizeof(*library));
  ngx_http_isapi_library_t** slot = ngx_array_push(&mcf->libraries);
  ngx_pool_cleanup_t* cleanup = ngx_pool_cleanup_add(cf->pool, 0);
  if (library == NULL || slot == NULL || cleanup == NULL) return NULL;
  library->path = *path;
  cleanup->handler = ngx_http_isapi_clear_sites;
  cleanup->data = library;
  *slot = library;
  return library;
}

static char* ngx_http_isapi_filter(ngx_conf_t* cf, ngx_command_t* cmd, void* conf) {
  (void)cmd;
  ngx_http_isapi_loc_conf_t* lcf = conf;
  ngx_str_t* value = cf->args->elts;
  ngx_str_t path = value[1];
  if (path.len == 0) {
    ngx_conf_log_error(NGX_LOG_EMERG, cf, 0, "isapi_filter: empty path");
    return NGX_CONF_ERROR;
  }
  // Relative to nginx's prefix, zero-terminated.
  if (ngx_conf_full_name(cf->cycle, &path, 0) != NGX_OK) return NGX_CONF_ERROR;
  u_char* terminated = ngx_pnalloc(cf->pool, path.len + 1);
  if (terminated == NULL) return NGX_CONF_ERROR;
  ngx_memcpy(terminated, path.data, path.len);
  terminated[path.len] = '\0';
  path.data = terminated;

  char error[FILTER_LIBRARY_ERROR_MAX];
  if (!checkFilterLibrary((const char*)path.data, error, sizeof(error))) {
    ngx_conf_log_error(NGX_LOG_EMERG, cf, 0, "isapi_filter: %s", error);
    return NGX_CONF_ERROR;
  }
  ngx_http_isapi_library_t* library = ngx_http_isapi_library(cf, &path);
  if (library == NULL) return NGX_CONF_ERROR;
  if (lcf->own == NULL) {
    lcf->own = ngx_array_create(cf->pool, 1, sizeof(ngx_http_isapi_library_t*));
    if (lcf->own == NULL) return NGX_CONF_ERROR;
  }
  ngx_http_isapi_library_t** own = lcf->own->elts;
  for (ngx_uint_t i = 0; i < lcf->own->nelts; ++i) {
    if (own[i] == library) return NGX_CONF_OK;
  }
  ngx_http_isapi_library_t** slot = ngx_array_push(lcf->own);
  if (slot == NULL) return NGX_CONF_ERROR;
  *slot = library;
  return NGX_CONF_OK;
}

// Appends the libraries of from that to lacks; creates *to when there is something to add.
static ngx_int_t ngx_http_isapi_union(ngx_pool_t* pool, ngx_array_t** to, const ngx_array_t* from) {
  if (from == NULL) return NGX_OK;
  ngx_http_isapi_library_t** adding = from->elts;
  for (ngx_uint_t i = 0; i < from->nelts; ++i) {
    if (*to == NULL) {
      *to = ngx_array_create(pool, from->nelts, sizeof(ngx_http_isapi_library_t*));
      if (*to == NULL) return NGX_ERROR;
    }
    ngx_http_isapi_library_t** present = (*to)->elts;
    ngx_uint_t k = 0;
    while (k < (*to)->nelts && present[k] != adding[i]) ++k;
    if (k < (*to)->nelts) continue;
    ngx_http_isapi_library_t** slot = ngx_array_push(*to);
    if (slot == NULL) return NGX_ERROR;
    *slot = adding[i];
  }
  return NGX_OK;
}

static char* ngx_http_isapi_merge_loc_conf(ngx_conf_t* cf, void* parent, void* child) {
  ngx_http_isapi_loc_conf_t* prev = parent;
  ngx_http_isapi_loc_conf_t* conf = child;
  // The http level is never merged as a child: its own are its filters.
  const ngx_array_t* outer = prev->filters != NULL ? prev->filters : prev->own;
  conf->filters = NULL;
  if (ngx_http_isapi_union(cf->pool, &conf->filters, outer) != NGX_OK ||
      ngx_http_isapi_union(cf->pool, &conf->filters, conf->own) != NGX_OK) {
    return NGX_CONF_ERROR;
  }
  // nginx merges a server's locations with that server's configuration at hand: the server
  // collects the libraries of all its locations, for the sites each library is told.
  ngx_http_isapi_srv_conf_t* scf =
      ngx_http_conf_get_module_srv_conf(cf, ngx_http_isapi_filter_module);
  if (ngx_http_isapi_union(cf->pool, &scf->libraries, conf->filters) != NGX_OK) {
    return NGX_CONF_ERROR;
  }
  return NGX_CONF_OK;
}

static ngx_int_t ngx_http_isapi_add_handler(ngx_http_core_main_conf_t* cmcf, ngx_uint_t phase,
                                            ngx_http_handler_pt handler) {
  ngx_http_handler_pt* h = ngx_array_push(&cmcf->phases[phase].handlers);
  if (h == NULL) return NGX_ERROR;
  *h = handler;
  return NGX_OK;
}

static ngx_int_t ngx_http_isapi_postconfiguration(ngx_conf_t* cf) {
  ngx_http_isapi_main_conf_t* mcf =
      ngx_http_conf_get_module_main_conf(cf, ngx_http_isapi_filter_module);
  mcf->log = &cf->cycle->new_log;
  if (mcf->libraries.nelts == 0) return NGX_OK;
  if (ngx_http_isapi_collect_sites(cf) != NGX_OK) return NGX_ERROR;

  // A dynamic module's postconfiguration runs after the built-in modules', and nginx runs the
  // handlers of a phase last added first: each of these runs before the phase's others.
  ngx_http_core_main_conf_t* cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
  // The notification, before every access check (auth_basic, auth_request, allow/deny).
  if (ngx_http_isapi_add_handler(cmcf, NGX_HTTP_PREACCESS_PHASE, ngx_http_isapi_notify_handler) !=
          NGX_OK ||
      // The client's own Authorization back before the content (and before the rewrites of
      // an error page's or named location's redirect, which begin there).
      ngx_http_isapi_add_handler(cmcf, NGX_HTTP_PRECONTENT_PHASE,
                                 ngx_http_isapi_withdraw_handler) != NGX_OK ||
      ngx_http_isapi_add_handler(cmcf, NGX_HTTP_SERVER_REWRITE_PHASE,
                                 ngx_http_isapi_withdraw_handler) != NGX_OK ||
      ngx_http_isapi_add_handler(cmcf, NGX_HTTP_REWRITE_PHASE, ngx_http_isapi_withdraw_handler) !=
          NGX_OK) {
    return NGX_ERROR;
  }
  return ngx_http_isapi_init_header_filter();
}

static ngx_int_t ngx_http_isapi_init_module(ngx_cycle_t* cycle) {
  // A configuration reloaded by nginx running as one process (master_process off) serves from
  // here on: no worker will start it. nginx -t and a master never start filters; the first
  // configuration of one process is started with the process (init_process).
  if (ngx_test_config || ngx_process != NGX_PROCESS_SINGLE) return NGX_OK;
  if (ngx_is_init_cycle((ngx_cycle_t*)ngx_cycle)) return NGX_OK;
  return ngx_http_isapi_start_filters(cycle);
}

static ngx_int_t ngx_http_isapi_init_process(ngx_cycle_t* cycle) {
  // The cache manager and loader serve no requests.
  if (ngx_process == NGX_PROCESS_HELPER) return NGX_OK;
  return ngx_http_isapi_start_filters(cycle);
}

static void ngx_http_isapi_exit_process(ngx_cycle_t* cycle) { ngx_http_isapi_stop_filters(cycle); }
