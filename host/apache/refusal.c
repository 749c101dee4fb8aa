#include "refusal.h"

#include "apr_strings.h"
#include "http_core.h"

#include "apache_host.h"
#include "filter_response.h"

static const char* realmOf(request_rec* r) {
  const char* realm = ap_auth_name(r);
  if (realm == NULL || *realm == '\0') realm = ap_get_server_name(r);
  return realm;
}

static void addHeader(void* request, const FilterHeader* header) {
  kApacheHost.addResponseHeader(request, header);
}

int refuseRequest(request_rec* r, int status, const char* reason, const char* headers) {
  if (headers != NULL) forEachFilterHeader(headers, addHeader, r);
  if (status == HTTP_UNAUTHORIZED && apr_table_get(r->err_headers_out, "WWW-Authenticate") == NULL) {
    const char* realm = realmOf(r);
    char* challenge = apr_palloc(r->pool, basicChallengeSize(realm));
    writeBasicChallenge(realm, challenge);
    apr_table_setn(r->err_headers_out, "WWW-Authenticate", challenge);
  }
  if (reason != NULL) r->status_line = apr_psprintf(r->pool, "%03d %s", status, reason);
  return status;
}
