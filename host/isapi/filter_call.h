// The HTTP_FILTER_CONTEXT handed to a filter for one notification of one request, with the
// server's side of its callbacks: GetServerVariable, AddResponseHeaders, AllocMem and
// ServerSupportFunction (SF_REQ_SEND_RESPONSE_HEADER; SF_REQ_REPORT_FAILED_LOGON of
// platform/isapi_host_extension.h). WriteClient is not offered: a filter ends a request through
// the response it asks for, not by writing to the client.
#ifndef GATEKEEPER_HOST_ISAPI_FILTER_CALL_H_
#define GATEKEEPER_HOST_ISAPI_FILTER_CALL_H_

#include "filter_library.h"
#include "isapi_host.h"

#ifdef __cplusplus
extern "C" {
#endif

// What one filter call asked of the server. ServerContext of the context points here.
typedef struct {
  const IsapiHost* host;
  void* request;
  const IsapiFilter* filter;
  int securePort;
  // From SF_REQ_SEND_RESPONSE_HEADER: a refusal status (0: none asked for), its reason phrase
  // (NULL: the server's own) and checked extra header text (NULL: none), in the request's memory.
  int requestedStatus;
  const char* requestedReason;
  const char* requestedHeaders;
} FilterCall;

// Fills context for a call of call->filter on call->request.
void initFilterContext(HTTP_FILTER_CONTEXT* context, FilterCall* call);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_FILTER_CALL_H_
