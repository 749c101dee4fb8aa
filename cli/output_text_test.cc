// Values written for people and for programs: nothing stored can drive the terminal, and JSON
// carries the database's ISO-8859-1 bytes as their characters.
#include "cli/output_text.h"

#include <gtest/gtest.h>

#include <sstream>

namespace gatekeeper::cli {
namespace {

TEST(OutputTextTest, PlainAndJson) {
  struct Case {
    std::string text;
    const char* plain;
    const char* json;
  };
  const Case cases[] = {
      {"bob", "bob", "\"bob\""},
      {"a\x1b[2Jb\tc", "a\\x1b[2Jb\\x09c", "\"a\\u001b[2Jb\\u0009c\""},
      {"back\\slash \"q\"", "back\\x5cslash \"q\"", "\"back\\\\slash \\\"q\\\"\""},
      {"J\xfcrgen \x9b\x7f", "J\xfcrgen \\x9b\\x7f", "\"J\\u00fcrgen \\u009b\\u007f\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plainText(c.text), c.plain);
    EXPECT_EQ(jsonString(c.text), c.json);
  }
}

TEST(OutputTextTest, ColumnsAreAsWideAsTheirWidestCell) {
  std::ostringstream out;
  writeColumns(out, {{"a", "bbb", "c"}, {"dddd", "e", "f"}});
  EXPECT_EQ(out.str(), "a     bbb  c\ndddd  e    f\n");
}

}  // namespace
}  // namespace gatekeeper::cli
