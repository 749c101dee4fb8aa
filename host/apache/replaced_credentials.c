#include "replaced_credentials.h"

#include <string.h>

#include "apr_strings.h"
#include "http_core.h"
#include "http_log.h"

#include "basic_credentials.h"
#include "refusal.h"

APLOG_USE_MODULE(isapi_filter);

// The request the client sent, behind any internal redirect or subrequest.
static request_rec* clientRequest(request_rec* r) {
  while (r->prev != NULL || r->main != NULL) r = r->prev != NULL ? r->prev : r->main;
  return r;
}

const ReplacedCredentials* replacedCredentialsOf(request_rec* r) {
  return ap_get_module_config(clientRequest(r)->request_config, &isapi_filter_module);
}

static apr_status_t eraseText(void* text) {
  eraseSecret(text, strlen(text));
  return APR_SUCCESS;
}

// text in r's pool, zeroed when r ends.
static char* keepSecret(request_rec* r, char* text) {
  apr_pool_cleanup_register(r->pool, text, eraseText, apr_pool_cleanup_null);
  return text;
}

void keepReplacedCredentials(request_rec* r, const char* sentUser, const char* logonUser,
                             char* authorization) {
  ReplacedCredentials* replaced = apr_pcalloc(r->pool, sizeof(*replaced));
  const char* sent = apr_table_get(r->headers_in, "Authorization");
  if (sent != NULL) replaced->clientAuthorization = keepSecret(r, apr_pstrdup(r->pool, sent));
  replaced->sentUser = apr_pstrdup(r->pool, sentUser);
  replaced->logonUser = apr_pstrdup(r->pool, logonUser);
  if (authorization != NULL) replaced->authorization = keepSecret(r, authorization);
  ap_set_module_config(r->request_config, &isapi_filter_module, replaced);
}

static int cgiPassAuthIsOn(request_rec* r) {
  core_dir_config* core = ap_get_core_module_config(r->per_dir_config);
  return core != NULL && core->cgi_pass_auth == AP_CGI_PASS_AUTH_ON;
}

int presentReplacedCredentials(request_rec* r) {
  const ReplacedCredentials* replaced = replacedCredentialsOf(r);
  if (replaced == NULL) return DECLINED;
  if (replaced->authorization != NULL && cgiPassAuthIsOn(r)) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r,
                  "refusing a request whose credentials an ISAPI filter replaced: CGIPassAuth "
                  "is on here and would hand them to scripts");
    return refuseRequest(r, HTTP_INTERNAL_SERVER_ERROR, NULL, NULL);
  }
  if (r->main != NULL) r->headers_in = apr_table_copy(r->pool, r->headers_in);
  // Emptied credentials: the request authenticates as anonymous, not with the client's.
  if (replaced->authorization != NULL) {
    apr_table_setn(r->headers_in, "Authorization", replaced->authorization);
  } else {
    apr_table_unset(r->headers_in, "Authorization");
  }
  return DECLINED;
}

int withdrawReplacedCredentials(request_rec* r) {
  const ReplacedCredentials* replaced = replacedCredentialsOf(r);
  if (replaced == NULL) return DECLINED;
  if (replaced->clientAuthorization != NULL) {
    apr_table_setn(r->headers_in, "Authorization", replaced->clientAuthorization);
  } else {
    apr_table_unset(r->headers_in, "Authorization");
  }
  return DECLINED;
}

void withdrawReplacedCredentialsBeforeError(request_rec* r) { withdrawReplacedCredentials(r); }
