#include "cgi_identity.h"

#include <string.h>

#include "apr_strings.h"

#include "isapi_filter_module.h"

// The request the client sent, behind any internal redirect or subrequest.
static request_rec* clientRequest(request_rec* r) {
  while (r->prev != NULL || r->main != NULL) r = r->prev != NULL ? r->prev : r->main;
  return r;
}

int setCgiIdentity(request_rec* r) {
  if (r->user == NULL) return DECLINED;
  const ReplacedCredentials* replaced =
      ap_get_module_config(clientRequest(r)->request_config, &isapi_filter_module);
  const char* sentUser = r->user;
  if (replaced != NULL && strcmp(replaced->logonUser, r->user) == 0) {
    sentUser = replaced->sentUser;
  }
  apr_table_set(r->subprocess_env, "AUTH_USER", sentUser);
  apr_table_set(r->subprocess_env, "LOGON_USER", r->user);
  return DECLINED;
}
