#include "cgi_identity.h"

#include <string.h>

#include "apr_strings.h"

#include "replaced_credentials.h"

int setCgiIdentity(request_rec* r) {
  if (r->user == NULL) return DECLINED;
  const ReplacedCredentials* replaced = replacedCredentialsOf(r);
  const char* sentUser = r->user;
  if (replaced != NULL && strcmp(replaced->logonUser, r->user) == 0) {
    sentUser = replaced->sentUser;
    apr_table_set(r->subprocess_env, LOGON_REPLACED_VARIABLE, "1");
  } else {
    apr_table_unset(r->subprocess_env, LOGON_REPLACED_VARIABLE);
  }
  apr_table_set(r->subprocess_env, "AUTH_USER", sentUser);
  apr_table_set(r->subprocess_env, "LOGON_USER", r->user);
  return DECLINED;
}
