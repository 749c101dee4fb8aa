// Test helper: sets the CGI server variables of a test and removes them again afterwards, so
// every page test starts from a request that carries only what the test gives it.
#ifndef GATEKEEPER_ADMIN_SERVER_VARIABLES_FOR_TEST_H_
#define GATEKEEPER_ADMIN_SERVER_VARIABLES_FOR_TEST_H_

#include <string>
#include <vector>

#include "platform/environment.h"

namespace gatekeeper {

class ServerVariablesForTest {
 public:
  // Starts with SCRIPT_NAME "/cgi/overseer" and none of the login variables.
  ServerVariablesForTest() {
    for (const char* name : {"AUTH_USER", "LOGON_USER", "COMPUTERNAME", "AUTH_TYPE"}) {
      set(name, nullptr);
    }
    set("SCRIPT_NAME", "/cgi/overseer");
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

#endif  // GATEKEEPER_ADMIN_SERVER_VARIABLES_FOR_TEST_H_
