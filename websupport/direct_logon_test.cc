// Which logons the programs that serve direct logons only refuse, and what the refusal holds.
#include "websupport/direct_logon.h"

#include <gtest/gtest.h>

#include "websupport/error_log.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"

namespace gatekeeper {
namespace {

TEST(DirectLogonTest, OnlyALogonTheFilterReplacedIsRefused) {
  const struct {
    const char* authUser;
    const char* logonUser;
    const char* remoteUser;
    bool replaced;
    const char* hostSaysReplaced = nullptr;
  } cases[] = {
      {nullptr, nullptr, nullptr, false},           // anonymous
      {"", "", nullptr, false},                     // anonymous, variables set empty
      {"administrator", "administrator", nullptr, false},
      {"Administrator", "ADMINISTRATOR", nullptr, false},  // letter case does not count
      {"john", "webuser", nullptr, true},           // mapped by the filter
      {"john", "webuser", "john", true},            // LOGON_USER rules where it is set
      {"john", nullptr, "john", false},             // Apache alone: REMOTE_USER
      {"john", nullptr, "webuser", true},
      {"john", nullptr, nullptr, true},             // a logon with no account is no direct one
      // A site user named like the account he is mapped to: only the host can tell.
      {"administrator", "administrator", nullptr, true, "1"},
      {"Administrator", "administrator", "administrator", true, "1"},
      {"administrator", "administrator", nullptr, false, ""},
  };
  for (const auto& c : cases) {
    ServerVariablesForTest server;
    server.set("AUTH_USER", c.authUser);
    server.set("LOGON_USER", c.logonUser);
    server.set("REMOTE_USER", c.remoteUser);
    server.set(kLogonReplacedVariable, c.hostSaysReplaced);
    EXPECT_EQ(logonReplacedByFilter(), c.replaced)
        << (c.authUser ? c.authUser : "-") << "/" << (c.logonUser ? c.logonUser : "-");
    ResponseCapture page;
    ErrorLogCapture log;
    EXPECT_EQ(admitDirectLogon(), !c.replaced);
    EXPECT_EQ(page.text().empty(), !c.replaced);
    EXPECT_EQ(log.text().empty(), !c.replaced);
  }
}

TEST(DirectLogonTest, RefusalIsABarePageAndALogLineNamingBoth) {
  ServerVariablesForTest server;
  server.set("AUTH_USER", "john\n");
  server.set("LOGON_USER", "administrator");
  ResponseCapture page;
  ErrorLogCapture log;
  EXPECT_FALSE(admitDirectLogon());
  EXPECT_EQ(page.text(),
            "Status: 403 Forbidden\nContent-Type: text/html\n\n<HTML><BODY>\n"
            "NT user used for the actual authentication by the system differs the logged on "
            "user.<BR>\n</BODY></HTML>\n");
  EXPECT_EQ(log.text(),
            "request refused: the filter logged user john\\x0a on as the server account "
            "administrator; this program serves direct logons only\n");
}

}  // namespace
}  // namespace gatekeeper
