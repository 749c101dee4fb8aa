// mod_isapi_filter: hosts ISAPI filter libraries in Apache httpd 2.4.
//
//   IsapiFilter /path/to/filter.so     (server config or <VirtualHost>, may repeat)
//
// The directive itself checks that the library loads and exports the two entry points (without
// starting it), so a wrong path is a configuration error: `apache2ctl configtest` reports it
// with the system's reason, and a graceful restart asked for with it (apache2ctl graceful, or
// apache2 -k graceful, which reads the configuration before it signals the server) leaves the
// running server as it is. Libraries are loaded in the parent process at start-up, so every
// child of any MPM inherits them; a library whose GetFilterVersion fails stops the start.
// Apache reads its configuration twice at start-up; a filter is started (GetFilterVersion, which
// builds its state and reads its data) once, in the pass that serves, and is then told its
// sites (filter_sites.h). The parent, which serves no requests, lets the filters follow their
// data about once a second (RefreshFilter, isapi_host_extension.h).
// Filters named in the main server apply to every virtual host, before the host's own.

#include <string.h>

#include "httpd.h"
#include "apr_hash.h"
#include "apr_strings.h"
#include "http_config.h"
#include "http_core.h"
#include "http_log.h"
#include "mpm_common.h"
#include "http_protocol.h"
#include "http_request.h"

#include "authentication_notification.h"
#include "cgi_identity.h"
#include "filter_sites.h"
#include "library_loading.h"
#include "isapi_filter_module.h"
#include "replaced_credentials.h"

static void* createServerConfig(apr_pool_t* pool, server_rec* s) {
  (void)s;
  IsapiServerConfig* config = apr_pcalloc(pool, sizeof(*config));
  config->paths = apr_array_make(pool, 1, sizeof(const char*));
  return config;
}

static void appendMissingPaths(apr_array_header_t* to, const apr_array_header_t* from) {
  for (int i = 0; i < from->nelts; ++i) {
    const char* path = APR_ARRAY_IDX(from, i, const char*);
    int present = 0;
    for (int k = 0; k < to->nelts && !present; ++k) {
      present = strcmp(APR_ARRAY_IDX(to, k, const char*), path) == 0;
    }
    if (!present) APR_ARRAY_PUSH(to, const char*) = path;
  }
}

static void* mergeServerConfig(apr_pool_t* pool, void* baseConfig, void* hostConfig) {
  const IsapiServerConfig* base = baseConfig;
  const IsapiServerConfig* host = hostConfig;
  IsapiServerConfig* merged = apr_pcalloc(pool, sizeof(*merged));
  merged->paths = apr_array_make(pool, base->paths->nelts + host->paths->nelts, sizeof(const char*));
  appendMissingPaths(merged->paths, base->paths);
  appendMissingPaths(merged->paths, host->paths);
  return merged;
}

static const char* setIsapiFilter(cmd_parms* cmd, void* directoryConfig, const char* path) {
  (void)directoryConfig;
  IsapiServerConfig* config = ap_get_module_config(cmd->server->module_config, &isapi_filter_module);
  const char* resolved = ap_server_root_relative(cmd->pool, path);
  if (resolved == NULL) return apr_pstrcat(cmd->pool, "IsapiFilter: invalid path ", path, NULL);
  const char* error = checkFilterLibraryIn(cmd->pool, resolved);
  if (error != NULL) return apr_pstrcat(cmd->pool, "IsapiFilter: ", error, NULL);
  APR_ARRAY_PUSH(config->paths, const char*) = resolved;
  return NULL;
}

// The filters started for the configuration in force, each once (IsapiFilter*), for the
// parent's monitor; NULL while none is.
static apr_array_header_t* startedFilters = NULL;

static apr_status_t forgetStartedFilters(void* data) {
  (void)data;
  startedFilters = NULL;
  return APR_SUCCESS;
}

// Loads every library named by any server, each once, and gives each server its filters in
// calling order.
static int loadFilters(apr_pool_t* pconf, apr_pool_t* plog, apr_pool_t* ptemp, server_rec* s) {
  (void)plog;
  // The first pass at start-up: the directives have checked the libraries; none is started.
  if (ap_state_query(AP_SQ_MAIN_STATE) == AP_SQ_MS_CREATE_PRE_CONFIG) return OK;
  apr_hash_t* loaded = apr_hash_make(ptemp);
  for (server_rec* server = s; server != NULL; server = server->next) {
    IsapiServerConfig* config = ap_get_module_config(server->module_config, &isapi_filter_module);
    config->filters = apr_array_make(pconf, config->paths->nelts, sizeof(IsapiFilter*));
    for (int i = 0; i < config->paths->nelts; ++i) {
      const char* path = APR_ARRAY_IDX(config->paths, i, const char*);
      IsapiFilter* filter = apr_hash_get(loaded, path, APR_HASH_KEY_STRING);
      if (filter == NULL) {
        const char* error = loadFilterLibrary(pconf, path, &filter);
        if (error != NULL) {
          ap_log_error(APLOG_MARK, APLOG_EMERG, 0, s, "IsapiFilter: %s", error);
          return HTTP_INTERNAL_SERVER_ERROR;
        }
        ap_log_error(APLOG_MARK, APLOG_INFO, 0, s, "IsapiFilter: loaded %s (%s)", path,
                     filter->description);
        apr_hash_set(loaded, path, APR_HASH_KEY_STRING, filter);
        if (startedFilters == NULL) {
          startedFilters = apr_array_make(pconf, 1, sizeof(IsapiFilter*));
          apr_pool_cleanup_register(pconf, NULL, forgetStartedFilters, apr_pool_cleanup_null);
        }
        APR_ARRAY_PUSH(startedFilters, IsapiFilter*) = filter;
      }
      addByPriority(config->filters, filter);
    }
  }
  tellFiltersTheirSites(pconf, ptemp, s, loaded);
  return OK;
}

// Apache's parent serves no requests, but started the filters and starts the children that
// do: about once a second it lets each filter follow its data (RefreshFilter), so that the
// parent lets go of data the children have replaced and new children begin with the data in
// force.
static int refreshFilters(apr_pool_t* pool, server_rec* s) {
  (void)pool;
  (void)s;
  for (int i = 0; startedFilters != NULL && i < startedFilters->nelts; ++i) {
    IsapiFilter* filter = APR_ARRAY_IDX(startedFilters, i, IsapiFilter*);
    if (filter->refreshFilter != NULL) filter->refreshFilter();
  }
  return DECLINED;
}

static const command_rec kCommands[] = {
    AP_INIT_TAKE1("IsapiFilter", setIsapiFilter, NULL, RSRC_CONF,
                  "Path of an ISAPI filter library to call for every request of this server"),
    {NULL}};

static void registerHooks(apr_pool_t* pool) {
  (void)pool;
  ap_hook_post_config(loadFilters, NULL, NULL, APR_HOOK_MIDDLE);
  ap_hook_monitor(refreshFilters, NULL, NULL, APR_HOOK_MIDDLE);
  // Before every other header parser, and so before any access check or authentication.
  ap_hook_header_parser(notifyAuthentication, NULL, NULL, APR_HOOK_REALLY_FIRST);
  // Replaced credentials are in a request's headers from the start of its authentication
  // (for every request that authenticates: the client's, an internal redirect, a subrequest)
  // until its fixups, which run before any handler; where authentication or authorization
  // failed, until the error response or the internal redirect to the error document. Then
  // the client's own header is back.
  ap_hook_check_authn(presentReplacedCredentials, NULL, NULL, APR_HOOK_REALLY_FIRST,
                      AP_AUTH_INTERNAL_PER_CONF);
  ap_hook_fixups(withdrawReplacedCredentials, NULL, NULL, APR_HOOK_REALLY_FIRST);
  ap_hook_post_read_request(withdrawReplacedCredentials, NULL, NULL, APR_HOOK_REALLY_FIRST);
  ap_hook_insert_error_filter(withdrawReplacedCredentialsBeforeError, NULL, NULL,
                              APR_HOOK_REALLY_FIRST);
  ap_hook_fixups(setCgiIdentity, NULL, NULL, APR_HOOK_MIDDLE);
}

AP_DECLARE_MODULE(isapi_filter) = {
    STANDARD20_MODULE_STUFF,
    NULL,  // per-directory configuration
    NULL,  // merge per-directory configuration
    createServerConfig,
    mergeServerConfig,
    kCommands,
    registerHooks,
    AP_MODULE_FLAG_NONE,
};
