#include "filter/test_server.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/isapi_host_extension.h"
#include "platform/names.h"

namespace gatekeeper {
namespace {

// Everything one call needs; ServerContext points here.
struct Call {
  const TestRequest* request;
  TestOutcome* outcome;
};

BOOL WINAPI getServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
  const Call* call = static_cast<const Call*>(pfc->ServerContext);
  if (name == nullptr || size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (call->request->onServerVariable) call->request->onServerVariable(name);
  for (const auto& [key, value] : call->request->variables) {
    if (!platform::namesEqual(key.c_str(), name)) continue;
    const DWORD needed = static_cast<DWORD>(value.size() + 1);
    if (buffer == nullptr || *size < needed) {
      *size = needed;
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    std::memcpy(buffer, value.c_str(), needed);
    *size = needed;
    return TRUE;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return FALSE;
}

BOOL WINAPI serverSupportFunction(HTTP_FILTER_CONTEXT* pfc, enum SF_REQ_TYPE request, PVOID data,
                                  ULONG_PTR ul1, ULONG_PTR) {
  Call* call = static_cast<Call*>(pfc->ServerContext);
#ifndef _WIN32
  if (request == SF_REQ_REPORT_FAILED_LOGON && call->request->takesFailedLogonReports) {
    const std::string user = data != nullptr ? static_cast<const char*>(data) : "(null)";
    call->outcome->failedLogons.push_back(
        ul1 != 0 ? "user " + user + ": " + reinterpret_cast<const char*>(ul1)
                 : "user " + user + " not found");
    return TRUE;
  }
#endif
  if (request != SF_REQ_SEND_RESPONSE_HEADER) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  call->outcome->responseStatuses.push_back(data != nullptr ? static_cast<const char*>(data) : "");
  call->outcome->responseHeaders.push_back(ul1 != 0 ? reinterpret_cast<const char*>(ul1) : "");
  return TRUE;
}

// A credential buffer of the given size holding text (cut to fit, as a server's would be).
std::vector<char> credentialBuffer(const std::string& text, DWORD size) {
  std::vector<char> buffer(size == 0 ? 1 : size, '\0');
  std::memcpy(buffer.data(), text.data(), std::min<std::size_t>(text.size(), buffer.size() - 1));
  return buffer;
}

}  // namespace

TestOutcome sendAuthentication(const FilterProc& filterProc, const TestRequest& request) {
  TestOutcome outcome;
  Call call{&request, &outcome};

  HTTP_FILTER_CONTEXT context{};
  context.cbSize = sizeof(context);
  context.Revision = HTTP_FILTER_REVISION;
  context.ServerContext = &call;
  context.GetServerVariable = getServerVariable;
  context.ServerSupportFunction = serverSupportFunction;

  std::vector<char> user = credentialBuffer(request.user, request.userBufferSize);
  std::vector<char> password = credentialBuffer(request.password, request.passwordBufferSize);
  HTTP_FILTER_AUTHENT authent{};
  authent.pszUser = user.data();
  authent.cbUserBuff = request.userBufferSize;
  authent.pszPassword = password.data();
  authent.cbPasswordBuff = request.passwordBufferSize;

  SetLastError(0);
  outcome.status = filterProc(&context, SF_NOTIFY_AUTHENTICATION, &authent);
  outcome.lastError = GetLastError();
  outcome.user.assign(user.data(), strnlen(user.data(), user.size()));
  outcome.password.assign(password.data(), strnlen(password.data(), password.size()));
  return outcome;
}

}  // namespace gatekeeper
