// A stand-in for the web server in tests: builds the per-request HTTP_FILTER_CONTEXT that an
// ISAPI server hands to a filter, answers GetServerVariable from a table with the server's
// buffer semantics, records what the filter asks of ServerSupportFunction, and owns credential
// buffers of the sizes the server uses. Test code only.
#ifndef GATEKEEPER_FILTER_TEST_SERVER_H_
#define GATEKEEPER_FILTER_TEST_SERVER_H_

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/isapi.h"

namespace gatekeeper {

// One request as the server sees it before calling the filter.
struct TestRequest {
  // Server variables the server can supply; a name that is absent is unknown to the server.
  std::map<std::string, std::string> variables = {
      {"SERVER_NAME", "intranet"}, {"SERVER_PORT", "80"}, {"SCRIPT_NAME", "/private/index.htm"}};
  std::string user;
  std::string password;
  // Called with the name of each server variable the filter asks for, before it is answered
  // (a test can hold a decision in progress there).
  std::function<void(const char* name)> onServerVariable;
  // Whether the server takes the failed-logon reports of our own host (SF_REQ_REPORT_FAILED_LOGON);
  // when not, it refuses them as IIS does with any request it does not know.
  bool takesFailedLogonReports = true;
  DWORD userBufferSize = SF_MAX_USERNAME;
  DWORD passwordBufferSize = SF_MAX_PASSWORD;
};

// What the filter did with the request.
struct TestOutcome {
  DWORD status = 0;
  DWORD lastError = 0;
  std::string user;      // the user-name buffer after the call
  std::string password;  // the password buffer after the call
  // Status texts the filter asked the server to send (SF_REQ_SEND_RESPONSE_HEADER), in order.
  std::vector<std::string> responseStatuses;
  // Extra header text passed along with each of them (empty when none).
  std::vector<std::string> responseHeaders;
  // Failed logons reported for the server's log, as "user NAME: REASON" or "user NAME not found".
  std::vector<std::string> failedLogons;
};

// A filter's notification entry: HttpFilterProc itself, or a test's own binding to a filter
// object.
using FilterProc = std::function<DWORD(HTTP_FILTER_CONTEXT*, DWORD, void*)>;

// Sends one authentication notification for the request to the filter, the way the server
// does, and reports the outcome. The thread's last error is reset to 0 before the call and read
// right after it.
TestOutcome sendAuthentication(const FilterProc& filterProc, const TestRequest& request);

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_TEST_SERVER_H_
