// The HTTP_FILTER_CONTEXT handed to a filter for one notification of one request, with the
// server's side of its callbacks: GetServerVariable, AddResponseHeaders, AllocMem and
// ServerSupportFunction (SF_REQ_SEND_RESPONSE_HEADER; SF_REQ_REPORT_FAILED_LOGON of
// platform/isapi_host_extension.h). WriteClient is not offered: a filter ends a request through
// the response it asks for, not by writing to the client.
#ifndef GATEKEEPER_HOST_APACHE_FILTER_CONTEXT_H_
#define GATEKEEPER_HOST_APACHE_FILTER_CONTEXT_H_

#include "isapi_filter_module.h"

// What one filter call asked of the server. ServerContext of the context points here.
typedef struct {
  request_rec* request;
  const LoadedFilter* filter;
  // From SF_REQ_SEND_RESPONSE_HEADER: a refusal status (0: none asked for), its reason phrase
  // (NULL: the server's own) and checked extra header text (NULL: none).
  int requestedStatus;
  const char* requestedReason;
  const char* requestedHeaders;
} FilterCall;

// Fills context for a call of call->filter on call->request.
void initFilterContext(HTTP_FILTER_CONTEXT* context, FilterCall* call, int securePort);

#endif  // GATEKEEPER_HOST_APACHE_FILTER_CONTEXT_H_
