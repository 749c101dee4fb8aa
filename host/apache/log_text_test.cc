#include "log_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string escaped(const std::string& text, size_t outSize = 256) {
  std::vector<char> out(outSize + 1, '#');
  const size_t length = escapeLogText(text.c_str(), out.data(), outSize);
  EXPECT_EQ('#', out[outSize]) << "wrote past the buffer";
  EXPECT_EQ(length, std::string(out.data()).size());
  return std::string(out.data());
}

TEST(LogText, EscapesWhatCouldBreakTheLineAsApacheDoes) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"alice", "alice"},
      {"/a path/with spaces?x=1", "/a path/with spaces?x=1"},
      {"bob\nuser mallory not found: /", "bob\\nuser mallory not found: /"},
      {"a\rb\tc\bd\ve", "a\\rb\\tc\\bd\\ve"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"back\\slash", "back\\\\slash"},
      {std::string("\x01\x1b[31m\x7f", 7), "\\x01\\x1b[31m\\x7f"},
      {"J\xc3\xbcrgen", "J\\xc3\\xbcrgen"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, escaped(c.text)) << c.text;
    EXPECT_EQ(c.expected.size() + 1, escapedLogTextSize(c.text.c_str())) << c.text;
  }
}

TEST(LogText, ShortBufferKeepsWholeEscapesOnly) {
  EXPECT_EQ("ab", escaped("ab\ncd", 4));     // "\n" would need two more bytes
  EXPECT_EQ("ab\\n", escaped("ab\ncd", 5));  // exactly room for it
  EXPECT_EQ("", escaped("\x01", 4));
  EXPECT_EQ("\\x01", escaped("\x01", 5));
  char untouched = '#';
  EXPECT_EQ(0u, escapeLogText("x", &untouched, 0));
  EXPECT_EQ('#', untouched);
}

}  // namespace
