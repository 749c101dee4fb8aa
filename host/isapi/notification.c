#include "notification.h"

#include <string.h>

#include "basic_credentials.h"
#include "filter_call.h"
#include "filter_response.h"

// The credential buffers of one request, as a filter receives and may change them.
typedef struct {
  char user[SF_MAX_USERNAME];
  char password[SF_MAX_PASSWORD];
} CredentialBuffers;

// What became of one filter call.
typedef enum { kGoOn, kStopChain, kRefuse } CallOutcome;

static CallOutcome refuse(Notification* result, int status, const char* reason,
                          const char* headers) {
  result->status = status;
  result->reason = reason;
  result->headers = headers;
  return kRefuse;
}

static CallOutcome callFilter(const IsapiHost* host, void* request, const IsapiFilter* filter,
                              int securePort, CredentialBuffers* credentials,
                              Notification* result) {
  FilterCall call;
  memset(&call, 0, sizeof(call));
  call.host = host;
  call.request = request;
  call.filter = filter;
  call.securePort = securePort;
  HTTP_FILTER_CONTEXT context;
  initFilterContext(&context, &call);
  HTTP_FILTER_AUTHENT authent = {credentials->user, sizeof(credentials->user),
                                 credentials->password, sizeof(credentials->password)};

  SetLastError(ERROR_SUCCESS);
  DWORD status = filter->httpFilterProc(&context, SF_NOTIFY_AUTHENTICATION, &authent);
  DWORD lastError = GetLastError();

  if (memchr(credentials->user, '\0', sizeof(credentials->user)) == NULL ||
      memchr(credentials->password, '\0', sizeof(credentials->password)) == NULL) {
    isapiLog(host, request, kIsapiLogError,
             "ISAPI filter %s left a credential buffer without its terminating zero",
             filter->path);
    return refuse(result, 500, NULL, NULL);
  }
  // A response the filter asked for ends the request, whatever status it answered.
  if (call.requestedStatus != 0) {
    return refuse(result, call.requestedStatus, call.requestedReason, call.requestedHeaders);
  }
  switch (status) {
    case SF_STATUS_REQ_NEXT_NOTIFICATION:
      return kGoOn;
    case SF_STATUS_REQ_HANDLED_NOTIFICATION:
      return kStopChain;
    case SF_STATUS_REQ_ERROR:
    case SF_STATUS_REQ_FINISHED:
    case SF_STATUS_REQ_FINISHED_KEEP_CONN:
      isapiLog(host, request, kIsapiLogDebug, "ISAPI filter %s failed the request (error %u)",
               filter->path, (unsigned)lastError);
      return refuse(result, statusForFailedRequest(0, lastError), NULL, NULL);
    default:
      isapiLog(host, request, kIsapiLogError, "ISAPI filter %s answered the unknown status %#x",
               filter->path, (unsigned)status);
      return refuse(result, 500, NULL, NULL);
  }
}

// Takes over the credentials the filters left in now in place of those sent.
static void replaceCredentials(const IsapiHost* host, void* request,
                               const CredentialBuffers* sent, const CredentialBuffers* now,
                               Notification* result) {
  char* header = NULL;
  if (now->user[0] != '\0' || now->password[0] != '\0') {
    size_t size = encodedBasicCredentialsSize(strlen(now->user), strlen(now->password));
    header = host->allocate(request, size);
    if (header == NULL) {
      isapiLog(host, request, kIsapiLogError, "out of memory for replaced credentials");
      refuse(result, 500, NULL, NULL);
      return;
    }
    if (encodeBasicCredentials(now->user, now->password, header, size) == 0) {
      isapiLog(host, request, kIsapiLogError,
               "ISAPI filter gave a user name that Basic credentials cannot carry (a colon)");
      result->unusableCredentials = 1;
      refuse(result, 500, NULL, NULL);
      return;
    }
  }
  result->sentUser = isapiCopy(host, request, sent->user, strlen(sent->user));
  result->logonUser = isapiCopy(host, request, now->user, strlen(now->user));
  if (result->sentUser == NULL || result->logonUser == NULL) {
    if (header != NULL) eraseSecret(header, strlen(header));
    isapiLog(host, request, kIsapiLogError, "out of memory for replaced credentials");
    refuse(result, 500, NULL, NULL);
    return;
  }
  result->replaced = 1;
  result->authorization = header;
}

// Decodes the client's credentials, calls the filters and takes over what they left. Both
// buffers are the caller's, to be erased afterwards.
static void notifyWith(const IsapiHost* host, void* request, const char* authorization,
                       const IsapiFilter* const* filters, size_t count, int securePort,
                       CredentialBuffers* sent, CredentialBuffers* credentials,
                       Notification* result) {
  switch (decodeBasicCredentials(authorization, credentials->user, sizeof(credentials->user),
                                 credentials->password, sizeof(credentials->password))) {
    case kCredentialsMalformed:
      isapiLog(host, request, kIsapiLogInfo, "malformed Basic credentials");
      refuse(result, 400, NULL, NULL);
      return;
    case kCredentialsTooLong:
      isapiLog(host, request, kIsapiLogInfo,
               "Basic credentials refused: user name or password longer than %d bytes",
               SF_MAX_USERNAME - 1);
      refuse(result, 401, NULL, NULL);
      return;
    case kCredentialsNone:
    case kCredentialsDecoded:
      break;
  }
  memcpy(sent, credentials, sizeof(*sent));

  for (size_t i = 0; i < count; ++i) {
    if (!filterWantsAuthentication(filters[i], securePort)) continue;
    CallOutcome outcome = callFilter(host, request, filters[i], securePort, credentials, result);
    if (outcome == kRefuse) return;
    if (outcome == kStopChain) break;
  }

  if (strcmp(sent->user, credentials->user) != 0 ||
      strcmp(sent->password, credentials->password) != 0) {
    replaceCredentials(host, request, sent, credentials, result);
  }
}

void notifyFilters(const IsapiHost* host, void* request, const char* authorization,
                   const IsapiFilter* const* filters, size_t count, int securePort,
                   Notification* result) {
  memset(result, 0, sizeof(*result));
  CredentialBuffers sent;
  CredentialBuffers credentials;
  memset(&credentials, 0, sizeof(credentials));
  memset(&sent, 0, sizeof(sent));
  notifyWith(host, request, authorization, filters, count, securePort, &sent, &credentials,
             result);
  eraseSecret(&sent, sizeof(sent));
  eraseSecret(&credentials, sizeof(credentials));
}
