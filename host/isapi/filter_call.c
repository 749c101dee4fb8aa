#include "filter_call.h"

#include <string.h>

#include "filter_response.h"
#include "server_variable_copy.h"
#include "server_variables.h"

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
  const char* value = serverVariable(call->host, call->request, call->securePort, name);
  if (value == NULL) {
    SetLastError(ERROR_INVALID_INDEX);
    return FALSE;
  }
  return copyServerVariable(value, strlen(value), buffer, size);
}

typedef struct {
  FilterCall* call;
  int added;
} HeaderTarget;

static void addHeader(void* context, const FilterHeader* header) {
  HeaderTarget* target = context;
  if (!target->call->host->addResponseHeader(target->call->request, header)) target->added = 0;
}

static BOOL WINAPI addResponseHeaders(HTTP_FILTER_CONTEXT* context, LPSTR headers,
                                      DWORD reserved) {
  (void)reserved;
  FilterCall* call = callOf(context);
  if (call == NULL || headers == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HeaderTarget target = {call, 1};
  if (!forEachFilterHeader(headers, addHeader, &target)) {
    isapiLog(call->host, call->request, kIsapiLogWarning,
             "ISAPI filter %s: AddResponseHeaders refused (header text not acceptable)",
             call->filter->path);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!target.added) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
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
  return call->host->allocate(call->request, size > 0 ? size : 1);
}

static const char* copyText(FilterCall* call, const char* text) {
  return isapiCopy(call->host, call->request, text, strlen(text));
}

// SF_REQ_SEND_RESPONSE_HEADER: status text in data ("401 Access Denied"), extra header text
// in ul1 (0: none). Only refusal statuses are taken; headers that do not pass are dropped.
static BOOL sendResponseHeader(FilterCall* call, const char* statusText, const char* headers) {
  const char* reason;
  int status = parseFilterStatus(statusText, &reason);
  if (status == 0) {
    isapiLog(call->host, call->request, kIsapiLogWarning,
             "ISAPI filter %s: ignored a response that is not a refusal status",
             call->filter->path);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  call->requestedStatus = status;
  call->requestedReason = reason != NULL ? copyText(call, reason) : NULL;
  call->requestedHeaders = NULL;
  if (headers != NULL) {
    if (forEachFilterHeader(headers, NULL, NULL)) {
      call->requestedHeaders = copyText(call, headers);
    } else {
      isapiLog(call->host, call->request, kIsapiLogWarning,
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
    call->host->logFailedLogon(call->request, (const char*)data, (const char*)ul1);
    return TRUE;
  }
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

void initFilterContext(HTTP_FILTER_CONTEXT* context, FilterCall* call) {
  memset(context, 0, sizeof(*context));
  context->cbSize = sizeof(*context);
  context->Revision = HTTP_FILTER_REVISION;
  context->ServerContext = call;
  context->fIsSecurePort = call->securePort ? TRUE : FALSE;
  context->pFilterContext = NULL;
  context->GetServerVariable = getServerVariable;
  context->AddResponseHeaders = addResponseHeaders;
  context->WriteClient = writeClient;
  context->AllocMem = allocMem;
  context->ServerSupportFunction = serverSupportFunction;
}
