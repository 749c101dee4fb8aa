#include "authentication_notification.h"

#include <string.h>

#include "apr_strings.h"
#include "http_log.h"
#include "http_ssl.h"

#include "basic_credentials.h"
#include "filter_context.h"
#include "filter_library.h"
#include "filter_response.h"
#include "refusal.h"
#include "replaced_credentials.h"

APLOG_USE_MODULE(isapi_filter);

// The credential buffers of one request, as a filter receives and may change them.
typedef struct {
  char user[SF_MAX_USERNAME];
  char password[SF_MAX_PASSWORD];
} CredentialBuffers;

// What became of one filter call.
typedef enum { kGoOn, kStopChain, kRefuse } CallOutcome;

static CallOutcome callFilter(request_rec* r, const LoadedFilter* filter, int securePort,
                              CredentialBuffers* credentials, int* refusalStatus) {
  FilterCall call;
  memset(&call, 0, sizeof(call));
  call.request = r;
  call.filter = filter;
  HTTP_FILTER_CONTEXT context;
  initFilterContext(&context, &call, securePort);
  HTTP_FILTER_AUTHENT authent = {credentials->user, sizeof(credentials->user),
                                 credentials->password, sizeof(credentials->password)};

  SetLastError(ERROR_SUCCESS);
  DWORD status = filter->httpFilterProc(&context, SF_NOTIFY_AUTHENTICATION, &authent);
  DWORD lastError = GetLastError();

  if (memchr(credentials->user, '\0', sizeof(credentials->user)) == NULL ||
      memchr(credentials->password, '\0', sizeof(credentials->password)) == NULL) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r,
                  "ISAPI filter %s left a credential buffer without its terminating zero",
                  filter->path);
    *refusalStatus = refuseRequest(r, HTTP_INTERNAL_SERVER_ERROR, NULL, NULL);
    return kRefuse;
  }
  // A response the filter asked for ends the request, whatever status it answered.
  if (call.requestedStatus != 0) {
    *refusalStatus =
        refuseRequest(r, call.requestedStatus, call.requestedReason, call.requestedHeaders);
    return kRefuse;
  }
  switch (status) {
    case SF_STATUS_REQ_NEXT_NOTIFICATION:
      return kGoOn;
    case SF_STATUS_REQ_HANDLED_NOTIFICATION:
      return kStopChain;
    case SF_STATUS_REQ_ERROR:
    case SF_STATUS_REQ_FINISHED:
    case SF_STATUS_REQ_FINISHED_KEEP_CONN:
      ap_log_rerror(APLOG_MARK, APLOG_DEBUG, 0, r, "ISAPI filter %s failed the request (error %u)",
                    filter->path, (unsigned)lastError);
      *refusalStatus = refuseRequest(r, statusForFailedRequest(0, lastError), NULL, NULL);
      return kRefuse;
    default:
      ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r,
                    "ISAPI filter %s answered the unknown status %#x", filter->path,
                    (unsigned)status);
      *refusalStatus = refuseRequest(r, HTTP_INTERNAL_SERVER_ERROR, NULL, NULL);
      return kRefuse;
  }
}

// Records that the filters replaced the client's credentials by those they left in now: Apache's
// authentication gets the new credentials, every other phase the client's header
// (replaced_credentials.h). Returns DECLINED or a refusal status.
static int replaceCredentials(request_rec* r, const CredentialBuffers* sent,
                              const CredentialBuffers* now) {
  if (now->user[0] == '\0' && now->password[0] == '\0') {
    keepReplacedCredentials(r, sent->user, now->user, NULL);
    return DECLINED;
  }
  size_t size = encodedBasicCredentialsSize(strlen(now->user), strlen(now->password));
  char* header = apr_palloc(r->pool, size);
  if (encodeBasicCredentials(now->user, now->password, header, size) == 0) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r,
                  "ISAPI filter gave a user name that Basic credentials cannot carry (a colon)");
    apr_table_unset(r->headers_in, "Authorization");
    return refuseRequest(r, HTTP_INTERNAL_SERVER_ERROR, NULL, NULL);
  }
  keepReplacedCredentials(r, sent->user, now->user, header);
  return DECLINED;
}

// Decodes the client's credentials, calls the filters and takes over what they left. Both
// buffers are the caller's, to be erased afterwards.
static int notifyFilters(request_rec* r, const IsapiServerConfig* config, CredentialBuffers* sent,
                         CredentialBuffers* credentials) {
  switch (decodeBasicCredentials(apr_table_get(r->headers_in, "Authorization"),
                                 credentials->user, sizeof(credentials->user),
                                 credentials->password, sizeof(credentials->password))) {
    case kCredentialsMalformed:
      ap_log_rerror(APLOG_MARK, APLOG_INFO, 0, r, "malformed Basic credentials");
      return HTTP_BAD_REQUEST;
    case kCredentialsTooLong:
      ap_log_rerror(APLOG_MARK, APLOG_INFO, 0, r,
                    "Basic credentials refused: user name or password longer than %d bytes",
                    SF_MAX_USERNAME - 1);
      return refuseRequest(r, HTTP_UNAUTHORIZED, NULL, NULL);
    case kCredentialsNone:
    case kCredentialsDecoded:
      break;
  }
  memcpy(sent, credentials, sizeof(*sent));

  int securePort = ap_ssl_conn_is_ssl(r->connection);
  LoadedFilter** filters = (LoadedFilter**)config->filters->elts;
  for (int i = 0; i < config->filters->nelts; ++i) {
    if (!filterWantsAuthentication(filters[i], securePort)) continue;
    int refusalStatus = 0;
    CallOutcome outcome = callFilter(r, filters[i], securePort, credentials, &refusalStatus);
    if (outcome == kRefuse) return refusalStatus;
    if (outcome == kStopChain) break;
  }

  if (strcmp(sent->user, credentials->user) != 0 ||
      strcmp(sent->password, credentials->password) != 0) {
    return replaceCredentials(r, sent, credentials);
  }
  return DECLINED;
}

int notifyAuthentication(request_rec* r) {
  // Subrequests and internal redirects belong to a request that was notified already.
  if (r->main != NULL || r->prev != NULL) return DECLINED;
  IsapiServerConfig* config = ap_get_module_config(r->server->module_config, &isapi_filter_module);
  if (config->filters == NULL || config->filters->nelts == 0) return DECLINED;

  CredentialBuffers sent;
  CredentialBuffers credentials;
  memset(&credentials, 0, sizeof(credentials));
  memset(&sent, 0, sizeof(sent));
  int status = notifyFilters(r, config, &sent, &credentials);
  eraseSecret(&sent, sizeof(sent));
  eraseSecret(&credentials, sizeof(credentials));
  return status;
}
