#include "refusal.h"

#include <string.h>

#include "apr_strings.h"
#include "http_core.h"

#include "request_variables.h"
#include "response_headers.h"

// text as an HTTP quoted string.
static const char* quoted(apr_pool_t* pool, const char* text) {
  char* out = apr_palloc(pool, 2 * strlen(text) + 3);
  char* at = out;
  *at++ = '"';
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\r' || *c == '\n') continue;
    if (*c == '"' || *c == '\\') *at++ = '\\';
    *at++ = *c;
  }
  *at++ = '"';
  *at = '\0';
  return out;
}

static const char* realmOf(request_rec* r) {
  const char* realm = ap_auth_name(r);
  if (realm == NULL || *realm == '\0') realm = requestVariable(r, "SERVER_NAME");
  return realm;
}

int refuseRequest(request_rec* r, int status, const char* reason, const char* headers) {
  if (headers != NULL) addFilterHeaders(r, r->err_headers_out, headers);
  if (status == HTTP_UNAUTHORIZED && apr_table_get(r->err_headers_out, "WWW-Authenticate") == NULL) {
    apr_table_setn(r->err_headers_out, "WWW-Authenticate",
                   apr_pstrcat(r->pool, "Basic realm=", quoted(r->pool, realmOf(r)), NULL));
  }
  if (reason != NULL) r->status_line = apr_psprintf(r->pool, "%03d %s", status, reason);
  return status;
}
