// Lines of the error log stay single lines whatever text they carry.
#include "websupport/error_log.h"

#include <gtest/gtest.h>

namespace gatekeeper {
namespace {

TEST(ErrorLogTest, ControlCharactersCannotBreakOrForgeALine) {
  const struct {
    const char* written;
    const char* logged;
  } cases[] = {
      {"plain text", "plain text\n"},
      {"two\nlines\r", "two\\x0alines\\x0d\n"},
      {"tab\tvt\vnel\x85 del\x7f", "tab\\x09vt\\x0bnel\\x85 del\\x7f\n"},
      {"latin-1 \xe9 stays", "latin-1 \xe9 stays\n"},
  };
  for (const auto& c : cases) {
    ErrorLogCapture log;
    writeErrorLog(c.written);
    EXPECT_EQ(log.text(), c.logged);
  }
  EXPECT_EQ(escapeForLog("`a\\b c\n"), "\\x60a\\x5cb c\\x0a");
}

// The prefix that lets fail2ban's apache-common.conf find the client: "[date] [module:error]
// [client ADDR:PORT] ".
TEST(ErrorLogTest, ClientPrefixHasApachesShape) {
  const std::string prefix = apacheClientPrefix(1700000000, 42, "127.0.0.1", "43418");
  ASSERT_EQ(prefix.front(), '[');
  const std::size_t dateEnd = prefix.find("] ");
  // "Tue Nov 14 22:13:20.000042 2023", in the local time zone.
  EXPECT_EQ(dateEnd, 32u) << prefix;
  EXPECT_EQ(prefix.substr(20, 7), ".000042");
  EXPECT_EQ(prefix.substr(dateEnd), "] [cgid:error] [client 127.0.0.1:43418] ");
  const std::string noPort = apacheClientPrefix(1700000000, 0, "::1", "");
  EXPECT_EQ(noPort.substr(noPort.find("] ")), "] [cgid:error] [client ::1] ");
}

}  // namespace
}  // namespace gatekeeper
