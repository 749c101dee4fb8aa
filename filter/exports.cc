// The two entry points that the web server looks up in the filter library, and on Linux the
// optional export of our Apache host's extension (platform/isapi_host_extension.h).
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "filter/auth_filter.h"
#include "platform/isapi.h"
#include "platform/isapi_host_extension.h"

namespace {

constexpr DWORD kFilterVersion = 0x00040000;
constexpr DWORD kFilterFlags = SF_NOTIFY_ORDER_MEDIUM | SF_NOTIFY_AUTHENTICATION |
                               SF_NOTIFY_NONSECURE_PORT | SF_NOTIFY_SECURE_PORT;
constexpr char kFilterDescription[] = "sentry Filter";

// The one filter object, built the first time the server asks for the filter's version (before
// any notification) and destroyed when the library is unloaded.
std::once_flag filterBuilt;
std::unique_ptr<gatekeeper::AuthFilter> filter;

gatekeeper::AuthFilter* theFilter() {
  std::call_once(filterBuilt, [] { filter = std::make_unique<gatekeeper::AuthFilter>(); });
  return filter.get();
}

}  // namespace

extern "C" {

#ifdef _WIN32
#define SENTRY_EXPORT
#else
#define SENTRY_EXPORT __attribute__((visibility("default")))
#endif

// No exception may leave an entry point into the web server: an allocation failure while the
// filter is built answers FALSE, one during a decision lets the request pass to the server's
// own authentication.
SENTRY_EXPORT BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) try {
  if (version == nullptr || theFilter() == nullptr) return FALSE;
  version->dwFilterVersion = kFilterVersion;
  std::strncpy(version->lpszFilterDesc, kFilterDescription, SF_MAX_FILTER_DESC_LEN - 1);
  version->lpszFilterDesc[SF_MAX_FILTER_DESC_LEN - 1] = '\0';
  version->dwFlags = kFilterFlags;
  return TRUE;
} catch (...) {
  return FALSE;
}

SENTRY_EXPORT DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                                          VOID* notification) try {
  gatekeeper::AuthFilter* authFilter = theFilter();
  if (authFilter == nullptr || notificationType != SF_NOTIFY_AUTHENTICATION || pfc == nullptr ||
      notification == nullptr) {
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
  return authFilter->handleAuthentication(pfc, static_cast<HTTP_FILTER_AUTHENT*>(notification));
} catch (...) {
  return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

#ifndef _WIN32
// Not exported by the Windows library (sentry.def keeps exactly the two entry points).
SENTRY_EXPORT BOOL WINAPI SetFilterSites(const HOST_FILTER_SITE* sites, DWORD count,
                                         PFN_HOST_LOG log, void* context) try {
  if (log == nullptr) {
    // The host is about to unload the library: let go of its log without building anything.
    if (filter != nullptr) filter->detachHost();
    return TRUE;
  }
  gatekeeper::AuthFilter* authFilter = theFilter();
  if (authFilter == nullptr) return FALSE;
  std::vector<gatekeeper::FilterSite> served;
  for (DWORD i = 0; sites != nullptr && i < count; ++i) {
    served.push_back({sites[i].serverName != nullptr ? sites[i].serverName : "",
                      sites[i].serverPort != nullptr ? sites[i].serverPort : ""});
  }
  authFilter->setHost(std::move(served), [log, context](gatekeeper::Severity severity,
                                                        const std::string& message) {
    using gatekeeper::Severity;
    const DWORD level = severity == Severity::kError     ? HOST_LOG_ERROR
                        : severity == Severity::kWarning ? HOST_LOG_WARNING
                                                         : HOST_LOG_NOTICE;
    log(context, level, message.c_str());
  });
  return TRUE;
} catch (...) {
  return FALSE;
}

SENTRY_EXPORT BOOL WINAPI RefreshFilter() try {
  if (filter != nullptr) filter->refresh();
  return TRUE;
} catch (...) {
  return FALSE;
}
#endif

}  // extern "C"
