#include "filter_context.h"

#include <string.h>

#include "apr_strings.h"
#include "http_log.h"

#include "failed_logon.h"
#include "filter_response.h"
#include "request_variables.h"
#include "response_headers.h"
#include "server_variable_copy.h"
#include "platform/isapi_host_extension.h"

APLOG_USE_MODULE(isapi_filter);

#ifndef ERROR_NOT_SUPPORTED
#define ERROR_NOT_SUPPORTED 50L
#endif

static FilterCall* callOf(HTTP_FILTER_CONTEXT* context) {
  return context != NULL ? (FilterCall*)context->ServerContext : NULL;
}

static BOOL WINAPI getServerVariable(HTTP_FILTER_CONTEXT* context, LPSTR name, LPVOID buffer,
                                     LPDWORD size) {
  FilterCall* call = callOf(context);
  if (call == NULL || name == NULL || size == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const char* value = requestVariable(call->request, name);
  if (value == NULL) {
    SetLastError(ERROR_INVALID_INDEX);
    return FALSE;
  }
  return copyServerVariable(value, strlen(value), buffer, size);
}

static BOOL WINAPI addResponseHeaders(HTTP_FILTER_CONTEXT* context, LPSTR headers,
                                      DWORD reserved) {
  (void)reserved;
  FilterCall* call = callOf(context);
  if (call == NULL || headers == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!addFilterHeaders(call->request, call->request->err_headers_out, headers)) {
    ap_log_rerror(APLOG_MARK, APLOG_WARNING, 0, call->request,
                  "ISAPI filter %s: AddResponseHeaders refused (header text not acceptable)",
                  call->filter->path);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

static BOOL WINAPI writeClient(HTTP_FILTER_CONTEXT* context, LPVOID buffer, LPDWORD bytes,
                               DWORD reserved) {
  (void)context;
  (void)buffer;
  (void)bytes;
  (void)reserved;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

// Memory that lives as long as the request.
static VOID* WINAPI allocMem(HTTP_FILTER_CONTEXT* context, DWORD size, DWORD reserved) {
  (void)reserved;
  FilterCall* call = callOf(context);
  if (call == NULL) return NULL;
  return apr_pcalloc(call->request->pool, size > 0 ? size : 1);
}

// SF_REQ_SEND_RESPONSE_HEADER: status text in data ("401 Access Denied"), extra header text
// in ul1 (0: none). Only refusal statuses are taken; headers that do not pass are dropped.
static BOOL sendResponseHeader(FilterCall* call, const char* statusText, const char* headers) {
  request_rec* r = call->request;
  const char* reason;
  int status = parseFilterStatus(statusText, &reason);
  if (status == 0) {
    ap_log_rerror(APLOG_MARK, APLOG_WARNING, 0, r,
                  "ISAPI filter %s: ignored a response that is not a refusal status",
                  call->filter->path);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  call->requestedStatus = status;
  call->requestedReason = reason != NULL ? apr_pstrdup(r->pool, reason) : NULL;
  call->requestedHeaders = NULL;
  if (headers != NULL) {
    if (filterHeadersAcceptable(headers)) {
      call->requestedHeaders = apr_pstrdup(r->pool, headers);
    } else {
      ap_log_rerror(APLOG_MARK, APLOG_WARNING, 0, r,
                    "ISAPI filter %s: dropped header text of its response (not acceptable)",
                    call->filter->path);
    }
  }
  return TRUE;
}

static BOOL WINAPI serverSupportFunction(HTTP_FILTER_CONTEXT* context, enum SF_REQ_TYPE request,
                                         PVOID data, ULONG_PTR ul1, ULONG_PTR ul2) {
  (void)ul2;
  FilterCall* call = callOf(context);
  if (call == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (request == SF_REQ_SEND_RESPONSE_HEADER) {
    const char* statusText = data != NULL ? (const char*)data : "200 OK";
    return sendResponseHeader(call, statusText, (const char*)ul1);
  }
  if (request == SF_REQ_REPORT_FAILED_LOGON) {
    if (data == NULL) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    logFailedLogon(call->request, (const char*)data, (const char*)ul1);
    return TRUE;
  }
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

void initFilterContext(HTTP_FILTER_CONTEXT* context, FilterCall* call, int securePort) {
  memset(context, 0, sizeof(*context));
  context->cbSize = sizeof(*context);
  context->Revision = HTTP_FILTER_REVISION;
  context->ServerContext = call;
  context->fIsSecurePort = securePort ? TRUE : FALSE;
  context->pFilterContext = NULL;
  context->GetServerVariable = getServerVariable;
  context->AddResponseHeaders = addResponseHeaders;
  context->WriteClient = writeClient;
  context->AllocMem = allocMem;
  context->ServerSupportFunction = serverSupportFunction;
}
