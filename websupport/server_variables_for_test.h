// Test helper: sets the CGI server variables of a test and removes them again afterwards, so
// every page test starts from a request that carries only what the test gives it.
#ifndef GATEKEEPER_WEBSUPPORT_SERVER_VARIABLES_FOR_TEST_H_
#define GATEKEEPER_WEBSUPPORT_SERVER_VARIABLES_FOR_TEST_H_

#include <string>
#include <vector>

#include "platform/environment.h"

namespace gatekeeper {

class ServerVariablesForTest {
 public:
  // Starts with SCRIPT_NAME scriptName and none of the login, site or browser variables.
  explicit ServerVariablesForTest(const char* scriptName = "/cgi/overseer") {
    for (const char* name :
         {"AUTH_USER", "LOGON_USER", "REMOTE_USER", "COMPUTERNAME", "AUTH_TYPE", "SERVER_NAME", "SERVER_PORT",
          "HTTPS", "HTTP_HOST", "HTTP_ORIGIN", "HTTP_REFERER", "HTTP_SEC_FETCH_SITE"}) {
      set(name, nullptr);
    }
    set("SCRIPT_NAME", scriptName);
  }
  ~ServerVariablesForTest() {
    for (const std::string& name : names_) platform::setEnvironmentVariable(name, nullptr);
  }
  ServerVariablesForTest(const ServerVariablesForTest&) = delete;
  ServerVariablesForTest& operator=(const ServerVariablesForTest&) = delete;

  // value nullptr: the variable is not set.
  void set(const std::string& name, const char* value) {
    platform::setEnvironmentVariable(name, value);
    names_.push_back(name);
  }

 private:
  std::vector<std::string> names_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_SERVER_VARIABLES_FOR_TEST_H_
