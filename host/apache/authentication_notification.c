#include "authentication_notification.h"

#include "http_ssl.h"

#include "apache_host.h"
#include "isapi_filter_module.h"
#include "notification.h"
#include "refusal.h"
#include "replaced_credentials.h"

int notifyAuthentication(request_rec* r) {
  // Subrequests and internal redirects belong to a request that was notified already.
  if (r->main != NULL || r->prev != NULL) return DECLINED;
  IsapiServerConfig* config = ap_get_module_config(r->server->module_config, &isapi_filter_module);
  if (config->filters == NULL || config->filters->nelts == 0) return DECLINED;

  Notification result;
  notifyFilters(&kApacheHost, r, apr_table_get(r->headers_in, "Authorization"),
                (const IsapiFilter* const*)config->filters->elts, (size_t)config->filters->nelts,
                ap_ssl_conn_is_ssl(r->connection), &result);
  if (result.status != 0) {
    if (result.unusableCredentials) apr_table_unset(r->headers_in, "Authorization");
    return refuseRequest(r, result.status, result.reason, result.headers);
  }
  if (result.replaced) {
    keepReplacedCredentials(r, result.sentUser, result.logonUser, result.authorization);
  }
  return DECLINED;
}
