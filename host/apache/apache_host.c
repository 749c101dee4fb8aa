#include "apache_host.h"

#include <string.h>

#include "apr_strings.h"
#include "http_core.h"
#include "http_log.h"

#include "failed_logon.h"
#include "isapi_filter_module.h"

APLOG_USE_MODULE(isapi_filter);

// SERVER_NAME and SERVER_PORT are what Apache gives CGI programs for the same request (mod_cgi's
// environment): under UseCanonicalName On the virtual host's ServerName and its port (the
// scheme's default port when ServerName names none), under Off the client's Host header.
// Filters bind sites by them, as the CGI programs that manage a site do, so both find the same
// binding; a configuration that must not let the client choose the site says On.
static const char* fact(void* request, IsapiRequestFact fact) {
  request_rec* r = request;
  switch (fact) {
    case kIsapiServerName:
      return ap_get_server_name(r);
    case kIsapiServerPort:
      return apr_itoa(r->pool, ap_get_server_port(r));
    case kIsapiServerProtocol:
      return r->protocol;
    case kIsapiServerSoftware:
      return ap_get_server_banner();
    case kIsapiRequestMethod:
      return r->method;
    case kIsapiRequestPath:
      return r->uri;
    case kIsapiQueryString:
      return r->args;
    case kIsapiRemoteAddress:
      return r->useragent_ip;
    case kIsapiRemotePort:
      return apr_itoa(r->pool, r->useragent_addr->port);
    case kIsapiLocalAddress:
      return r->connection->local_ip;
  }
  return NULL;
}

static void forEachHeader(void* request,
                          int (*visit)(void* context, const char* name, size_t nameLength,
                                       const char* value, size_t valueLength),
                          void* context) {
  const apr_array_header_t* headers = apr_table_elts(((request_rec*)request)->headers_in);
  const apr_table_entry_t* entries = (const apr_table_entry_t*)headers->elts;
  for (int i = 0; i < headers->nelts; ++i) {
    if (entries[i].key == NULL) continue;
    const char* value = entries[i].val != NULL ? entries[i].val : "";
    if (!visit(context, entries[i].key, strlen(entries[i].key), value, strlen(value))) return;
  }
}

static void* allocate(void* request, size_t size) {
  return apr_pcalloc(((request_rec*)request)->pool, size);
}

// Headers a filter adds go with the response whatever its status.
static int addResponseHeader(void* request, const FilterHeader* header) {
  request_rec* r = request;
  apr_table_addn(r->err_headers_out, apr_pstrmemdup(r->pool, header->name, header->nameLength),
                 apr_pstrmemdup(r->pool, header->value, header->valueLength));
  return 1;
}

// Apache's error log escapes what a line holds.
static void logLine(void* request, IsapiLogLevel level, const char* message) {
  static const int kLevels[] = {APLOG_ERR, APLOG_WARNING, APLOG_INFO, APLOG_DEBUG};
  ap_log_rerror(APLOG_MARK, kLevels[level], 0, (request_rec*)request, "%s", message);
}

static void reportFailedLogon(void* request, const char* user, const char* reason) {
  logFailedLogon(request, user, reason);
}

const IsapiHost kApacheHost = {fact, forEachHeader, allocate, addResponseHeader, logLine,
                               reportFailedLogon};
