// ngx_http_isapi_filter_module: hosts ISAPI filter libraries in nginx. What the module's files
// share: the configuration records, the request's record, and their functions.
#ifndef GATEKEEPER_HOST_NGINX_NGX_HTTP_ISAPI_FILTER_H_
#define GATEKEEPER_HOST_NGINX_NGX_HTTP_ISAPI_FILTER_H_

#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>

#include "filter_library.h"
#include "site_list.h"

extern ngx_module_t ngx_http_isapi_filter_module;

// One filter library a configuration names (each path once per configuration).
typedef struct {
  ngx_str_t path;       // absolute, zero-terminated
  IsapiFilter* filter;  // once started in this process for this configuration, else NULL
  SiteList sites;       // the sites whose requests go to it (SetFilterSites)
} ngx_http_isapi_library_t;

typedef struct {
  ngx_array_t libraries;  // ngx_http_isapi_library_t*
  ngx_log_t* log;         // the configuration's error log, for the filters' own lines
  ngx_flag_t started;     // the libraries are started in this process for this configuration
} ngx_http_isapi_main_conf_t;

typedef struct {
  ngx_array_t* libraries;  // ngx_http_isapi_library_t* of every location of the server
} ngx_http_isapi_srv_conf_t;

typedef struct {
  ngx_array_t* own;      // ngx_http_isapi_library_t* named at this level
  ngx_array_t* filters;  // the outer levels' then own, each once (NULL: not merged, see own)
  // The started filters in calling order, set at this process's first request of the location
  // (a filter's priority is known once it is started, in the worker).
  const IsapiFilter** ordered;
  size_t ordered_count;
} ngx_http_isapi_loc_conf_t;

// What the notification left for the client's request; found again after internal redirects
// through the request pool's cleanups.
typedef struct {
  unsigned notified : 1;   // the filters were called for this client request
  unsigned replaced : 1;   // they replaced its credentials
  unsigned presented : 1;  // the replaced credentials are in the request's headers now
  unsigned pushed : 1;     // the client sent no Authorization: the element is ours
  ngx_str_t sent_user;
  ngx_str_t logon_user;
  ngx_table_elt_t* header;   // the Authorization element in the request's headers
  ngx_str_t client_value;    // the client's own value (when it sent one)
  ngx_str_t replaced_value;  // "Basic ..." (empty when the filters emptied the credentials)
  // A refusal with the filter's own reason phrase: nginx's error responses write the status's
  // standard phrase, so the header filter puts this line in place.
  ngx_uint_t refusal_status;
  ngx_str_t refusal_line;
} ngx_http_isapi_ctx_t;

// Process-wide start and stop of a configuration's libraries (registry.c).
ngx_int_t ngx_http_isapi_start_filters(ngx_cycle_t* cycle);
void ngx_http_isapi_stop_filters(ngx_cycle_t* cycle);
// Adds every server's sites to its libraries (at the end of the http block's configuration).
ngx_int_t ngx_http_isapi_collect_sites(ngx_conf_t* cf);

// The request's side (request.c).
ngx_int_t ngx_http_isapi_notify_handler(ngx_http_request_t* r);
ngx_int_t ngx_http_isapi_withdraw_handler(ngx_http_request_t* r);
ngx_int_t ngx_http_isapi_init_header_filter(void);
ngx_int_t ngx_http_isapi_add_variables(ngx_conf_t* cf);

#endif  // GATEKEEPER_HOST_NGINX_NGX_HTTP_ISAPI_FILTER_H_
