// The two entry points that the web server looks up in the filter library.
#include <cstring>
#include <memory>
#include <mutex>

#include "filter/auth_filter.h"
#include "platform/isapi.h"

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

}  // extern "C"
