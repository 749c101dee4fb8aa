// The authentication notification's rules, whatever the server: decode the client's Basic
// credentials, call the request's filters in order until one handles the notification, and
// say what the server does next: go on untouched, go on with the credentials the filters put
// in place of the client's, or refuse with a status.
#ifndef GATEKEEPER_HOST_ISAPI_NOTIFICATION_H_
#define GATEKEEPER_HOST_ISAPI_NOTIFICATION_H_

#include <stddef.h>

#include "filter_library.h"
#include "isapi_host.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  // 0: the request goes on; else the HTTP status to refuse it with, and what the filter asked
  // to go with it: reason phrase and checked header text (NULL: none). A 401 needs a
  // WWW-Authenticate challenge from the host unless these headers carry one.
  int status;
  const char* reason;
  const char* headers;
  // The filters left other credentials than the client sent (status 0): the client's user name
  // and the one put in its place, and the Authorization header that carries the new ones (NULL
  // when the filters emptied them: the request goes on as anonymous). All in the request's
  // memory; the host zeroes authorization once the request is over (eraseSecret).
  int replaced;
  const char* sentUser;
  const char* logonUser;
  char* authorization;
  // The filters gave credentials that an Authorization header cannot carry (status 500): the
  // client's header should not be used for this request either.
  int unusableCredentials;
} Notification;

// Notifies filters[0..count) (in calling order) of request, whose Authorization header is
// authorization (NULL: none), and fills result. Filters that asked for no authentication
// notification on this kind of port are skipped. Decoded credentials are erased before it
// returns.
void notifyFilters(const IsapiHost* host, void* request, const char* authorization,
                   const IsapiFilter* const* filters, size_t count, int securePort,
                   Notification* result);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_NOTIFICATION_H_
