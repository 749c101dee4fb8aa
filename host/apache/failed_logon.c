#include "failed_logon.h"

#include "http_log.h"

APLOG_USE_MODULE(isapi_filter);

// Apache's error log escapes every message itself (control characters, line breaks and
// backslashes as \n, \xhh, \\), so the texts from the client go in as they are, as in
// mod_auth_basic's own lines; escaping them here as well would double every backslash.
void logFailedLogon(request_rec* r, const char* user, const char* reason) {
  const char* path = r->uri != NULL ? r->uri : "";
  if (reason == NULL) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "user %s not found: %s", user, path);
  } else {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "user %s: authentication failure for \"%s\": %s",
                  user, path, reason);
  }
}
