// The log line of a failed rekey logon against the pattern of fail2ban's apache-auth filter,
// which reads it after Apache's prefix and an optional "AHnnnnn: ".
#include "password/failed_logon.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace gatekeeper::rekey {
namespace {

// failregex of /etc/fail2ban/filter.d/apache-auth.conf for Basic authentication failures, with
// the negative look-ahead for a leading backquote, which std::regex (ECMAScript) supports.
const std::regex kApacheAuth(
    "^user (?!`)(?:\\S*|.*?) (?:auth(?:oriz|entic)ation failure|not found|denied by provider)\\b");

TEST(FailedLogonTest, LinesMatchTheApacheAuthFilterWhateverTheName) {
  const struct {
    LogonFailure failure;
    const char* user;
    const char* line;
  } cases[] = {
      {LogonFailure::kWrongPassword, "alice",
       "user alice: authentication failure for \"/gatekeeper/rekey\": Password Mismatch"},
      {LogonFailure::kUnknownUser, "alice", "user alice not found: /gatekeeper/rekey"},
      {LogonFailure::kUnknownUser, "", "user  not found: /gatekeeper/rekey"},
      {LogonFailure::kWrongPassword, "two words",
       "user two words: authentication failure for \"/gatekeeper/rekey\": Password Mismatch"},
      // A leading backquote would make the filter skip the line.
      {LogonFailure::kUnknownUser, "`evade", "user \\x60evade not found: /gatekeeper/rekey"},
      // A line break would end the line early and forge the next one.
      {LogonFailure::kWrongPassword, "a\r\nuser b not found",
       "user a\\x0d\\x0auser b not found: authentication failure for \"/gatekeeper/rekey\": "
       "Password Mismatch"},
  };
  for (const auto& c : cases) {
    const std::string line = failedLogonLine(c.failure, c.user, "/gatekeeper/rekey");
    EXPECT_EQ(line, c.line);
    EXPECT_TRUE(std::regex_search(line, kApacheAuth)) << line;
  }
}

}  // namespace
}  // namespace gatekeeper::rekey
