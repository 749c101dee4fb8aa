// The line classifier on its own: the kind of each line and the extent of its parts, which the
// kept-text scanner relies on without the reader's line buffer around it.
#include "configstore/text_line.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "configstore/config_node.h"

namespace gatekeeper {
namespace {

struct LineCase {
  const char* what;
  std::string line;
  LineKind kind;
  std::string name = "";
  std::string value = "";  // the value text, or the tag of a section opening
  int32_t tagKind = 0;
};

TEST(TextLine, ClassifiesEachFormAndItsNearMisses) {
  const std::string longName(kLongestField + 1, 'n');
  const LineCase cases[] = {
      {"value", "    (int)Disable=0\r\n", LineKind::kValue, "Disable", "0"},
      {"value with item name", "(string)port[2]=x y\n", LineKind::kValue, "port[2]", "x y"},
      {"nameless value", "(int)=5\r\n", LineKind::kValue, "", "5"},
      {"value cut at a NUL", std::string("(string)a=b\0c\r\n", 15), LineKind::kValue, "a", "b"},
      {"value cut at a CR", "(string)a=b\rc\n", LineKind::kValue, "a", "b"},
      {"further equals signs stay in the value", "(string)a==b=\n", LineKind::kValue, "a",
       "=b="},
      {"named value without value text", "(int)a=\r\n", LineKind::kNothing},
      {"unknown type word", "(long)a=1\r\n", LineKind::kNothing},
      {"type word without its parenthesis", "(int a=1\r\n", LineKind::kNothing},
      {"name longer than a field", "(int)" + longName + "=1\n", LineKind::kNothing},
      {"section", "{ MAIN:\r\n", LineKind::kSectionOpen, "MAIN"},
      {"section with text tag", "\t{ s: (t) {1F}\r\n", LineKind::kSectionOpen, "s", "t", 2},
      {"section with hex tag", "{ s: {1F}\n", LineKind::kSectionOpen, "s", "1F", 1},
      {"unclosed tag", "{ s: {1F\n", LineKind::kSectionOpen, "s"},
      {"empty tag", "{ s: ()\n", LineKind::kSectionOpen, "s"},
      {"CR among the blanks", "{ \rs:\r\n", LineKind::kSectionOpen, "s"},
      {"section without blank", "{s:\r\n", LineKind::kNothing},
      {"section without name", "{ :\r\n", LineKind::kNothing},
      {"closing", "} MAIN; note\r\n", LineKind::kSectionClose, "MAIN"},
      {"closing without name", "}  \r\n", LineKind::kNothing},
      {"block", "[ key[2]:\r\n", LineKind::kBlockOpen, "key[2]"},
      {"block closing", "] key;\n", LineKind::kBlockClose, "key"},
      {"block without blank", "[key:\n", LineKind::kNothing},
      {"comment", "; (int)a=1\r\n", LineKind::kNothing},
      {"line end first", "\r\n", LineKind::kNothing},
      {"blanks only", "   \r\n", LineKind::kOther},
      {"empty piece", "", LineKind::kOther},
      {"text", "1F\r\n", LineKind::kOther},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    const TextLine line = classifyLine(c.line.data(), c.line.size());
    EXPECT_EQ(line.kind, c.kind);
    if (line.kind != c.kind || c.kind == LineKind::kNothing || c.kind == LineKind::kOther) {
      continue;
    }
    EXPECT_EQ(line.name, c.name);
    if (c.kind == LineKind::kValue) {
      EXPECT_EQ(line.value, c.value);
    }
    if (c.kind == LineKind::kSectionOpen) {
      EXPECT_EQ(line.tag, c.value);
      EXPECT_EQ(line.tagKind, c.tagKind);
    }
  }
}

TEST(TextLine, NamesTheWriterWouldWriteArePlain) {
  const struct {
    const char* line;
    bool plain;
  } cases[] = {
      {"(string)Password=x\r\n", true},
      {"(string)port[2]=x\r\n", false},
      {"(string)a\rb=x\n", false},
      {"(string)a=b[c]\r\n", true},  // a "[" in the value is not the name's
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const TextLine line = classifyLine(c.line, std::strlen(c.line));
    ASSERT_EQ(line.kind, LineKind::kValue);
    EXPECT_EQ(line.plainName, c.plain);
  }
}

// Fields are searched in chunks, the last one read back from the line's end when the line is
// long enough: a line classifies the same whatever text surrounds it in memory.
TEST(TextLine, ALineReadsTheSameWhereverItLies) {
  const char kAlphabet[] = {'(', ')', '=', '[', ']', '{', '}', ':', ';', ' ', '\t', '\r', '\0',
                            'a', 'b', 'i', 'n', 't', 's', 'r', 'g'};
  const std::string prefixes[] = {"int)", "string)", "{ ", "} ", "[ ", "] ", "    ("};
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  for (int round = 0; round < 20000; ++round) {
    std::string line = prefixes[next() % 7];
    if (line == "int)" || line == "string)") line = "(" + line;
    const size_t length = next() % 40;
    for (size_t i = 0; i < length; ++i) line.push_back(kAlphabet[next() % sizeof kAlphabet]);
    if (next() % 2) line += "\r\n";
    // Alone in a buffer of its own size, and amid other text.
    const std::string alone = line;
    const std::string amid = std::string(40, '=') + line + std::string(40, ')');
    const TextLine a = classifyLine(alone.data(), alone.size());
    const TextLine b = classifyLine(amid.data() + 40, line.size());
    SCOPED_TRACE(::testing::PrintToString(line));
    ASSERT_EQ(a.kind, b.kind);
    auto offset = [](std::string_view field, const char* base) {
      return field.data() == nullptr ? -1 : field.data() - base;
    };
    EXPECT_EQ(offset(a.name, alone.data()), offset(b.name, amid.data() + 40));
    EXPECT_EQ(a.name.size(), b.name.size());
    EXPECT_EQ(offset(a.value, alone.data()), offset(b.value, amid.data() + 40));
    EXPECT_EQ(a.value.size(), b.value.size());
    EXPECT_EQ(a.typeWord.size(), b.typeWord.size());
    EXPECT_EQ(a.rest.size(), b.rest.size());
    EXPECT_EQ(a.tag.size(), b.tag.size());
    EXPECT_EQ(a.plainName, b.plainName);
    // And every field stops where a byte-by-byte reading would: at its first stop.
    if (a.kind == LineKind::kValue) {
      EXPECT_EQ(std::string_view(a.value).find_first_of(std::string("\r\n\0", 3)),
                std::string_view::npos);
      EXPECT_EQ(a.typeWord.find_first_of(std::string(")\0", 2)), std::string_view::npos);
    }
  }
}

TEST(TextLine, LinePiecesFollowTheLineBuffer) {
  const size_t piece = kLineBufferSize - 1;
  const std::string longLine = std::string(piece + 10, 'x') + "\n";
  EXPECT_EQ(linePieceLength(longLine.data(), longLine.size()), piece);
  EXPECT_EQ(linePieceLength(longLine.data() + piece, longLine.size() - piece), 11u);
  const std::string exact = std::string(piece - 1, 'x') + "\nnext";
  EXPECT_EQ(linePieceLength(exact.data(), exact.size()), piece);
  EXPECT_EQ(linePieceLength("ab", 2), 2u);
  // The piece holding an offset of a line starting at 100.
  EXPECT_EQ(linePieceStart(100, 100), 100u);
  EXPECT_EQ(linePieceStart(100, 100 + piece - 1), 100u);
  EXPECT_EQ(linePieceStart(100, 100 + piece), 100 + piece);
  EXPECT_EQ(linePieceStart(100, 100 + 2 * piece + 5), 100 + 2 * piece);
}

TEST(TextLine, NumbersReadBackOnlyAsWritten) {
  const struct {
    int32_t type;
    const char* text;
    bool readsBack;
  } cases[] = {
      {kItemInt, "31", true},         {kItemInt, "0x1F", false},
      {kItemInt, "2147483648", false}, {kItemInt64, "2147483648", true},
      {kItemInt, " 5", false},        {kItemInt, "5x", false},
      {kItemFloat, "1.500000", true}, {kItemFloat, "1.5", false},
      {kItemDouble, "1.5", true},     {kItemDouble, "1.5E+20", true},
      {kItemDouble, "1.5e+20", false}, {kItemString, " any =text", true},
      {kItemBinary, "1F", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readsBackAsWritten(c.type, c.text), c.readsBack);
  }
}

}  // namespace
}  // namespace gatekeeper
