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

}  // namespace
}  // namespace gatekeeper
