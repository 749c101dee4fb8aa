#include "failed_logon.h"

#include "apr_strings.h"
#include "http_log.h"

#include "log_text.h"

APLOG_USE_MODULE(isapi_filter);

static const char* escaped(apr_pool_t* pool, const char* text) {
  size_t size = escapedLogTextSize(text);
  char* out = apr_palloc(pool, size);
  escapeLogText(text, out, size);
  return out;
}

void logFailedLogon(request_rec* r, const char* user, const char* reason) {
  const char* path = escaped(r->pool, r->uri != NULL ? r->uri : "");
  const char* name = escaped(r->pool, user);
  if (reason == NULL) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "user %s not found: %s", name, path);
  } else {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "user %s: authentication failure for \"%s\": %s",
                  name, path, escaped(r->pool, reason));
  }
}
