// Sections kept as text at load: whatever the file holds, the tree reads and writes exactly as
// one parsed line by line at once.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "configstore/config_file.h"
#include "configstore/config_section.h"
#include "configstore/text_stream.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

void load(ConfigSection* root, const std::string& text, bool keepText) {
  auto in = TextStream::forReading(text);
  in->keepSectionsAsText(keepText);
  ASSERT_EQ(root->readContents(in.get(), -1), 1);
}

std::string written(ConfigSection* root) {
  std::string out;
  auto stream = TextStream::forWriting(&out);
  EXPECT_EQ(root->writeContents(stream.get()), 1);
  EXPECT_EQ(stream->close(), 1);
  return out;
}

// Section A holding users u0 .. u(count-1), each with a password.
std::string usersText(int count) {
  std::string text = "{ A:\r\n";
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    text.append("    { u").append(n).append(":\r\n        (string)Password=p").append(n);
    text.append("\r\n    } u").append(n).append(";\r\n");
  }
  return text.append("} A;\r\n");
}

const std::string kUser =
    "{ A:\r\n    { u1:\r\n        (string)Password=pw\r\n        (int)disabled=0\r\n"
    "    } u1;\r\n} A;\r\n";

struct Case {
  const char* what;
  std::string text;
  bool kept;  // whether section u1 stays text
};

class KeptTextTest : public testing::TestWithParam<Case> {};

// Every case: the tree loaded with kept text writes the bytes of the tree parsed at once, before
// and after its sections are parsed, and u1 is kept as text exactly when its lines are plain.
TEST_P(KeptTextTest, WritesAsParsedAtOnce) {
  const Case& c = GetParam();
  ConfigSection eager("root");
  load(&eager, c.text, false);
  ConfigSection lazy("root");
  load(&lazy, c.text, true);
  ConfigSection* user = lazy.sectionByName("A")->sectionByName("u1");
  EXPECT_EQ(user->keptAsText(), c.kept);
  const std::string expected = written(&eager);
  EXPECT_EQ(written(&lazy), expected);
  // Reading a value parses the section; the tree writes the same.
  EXPECT_STREQ(user->valueByName("Password")->getString(),
               eager.sectionByName("A")->sectionByName("u1")->valueByName("Password")->getString());
  EXPECT_FALSE(user->keptAsText());
  EXPECT_EQ(written(&lazy), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, KeptTextTest,
    testing::Values(
        Case{"plain", kUser, true},
        Case{"empty section", "{ A:\r\n    { u1:\r\n    } u1;\r\n} A;\r\n", true},
        Case{"every number type written as the writer writes it",
             "{ A:\r\n    { u1:\r\n        (int)i=-12\r\n        (int64)j=9000000000\r\n"
             "        (float)f=0.500000\r\n        (double)d=1.5E+20\r\n"
             "        (string)Password= spaced = text\r\n    } u1;\r\n} A;\r\n",
             true},
        Case{"closing line in other letter case", "{ A:\r\n    { u1:\r\n        (int)i=1\r\n"
                                                  "    } U1;\r\n} A;\r\n",
             true},
        Case{"octal number", "{ A:\r\n    { u1:\r\n        (int)i=010\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"hexadecimal number",
             "{ A:\r\n    { u1:\r\n        (int)i=0x1F\r\n    } u1;\r\n} A;\r\n", false},
        Case{"negative zero", "{ A:\r\n    { u1:\r\n        (int)i=-0\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"digits then letters",
             "{ A:\r\n    { u1:\r\n        (int)i=12ab\r\n    } u1;\r\n} A;\r\n", false},
        Case{"int out of range",
             "{ A:\r\n    { u1:\r\n        (int)i=4294967297\r\n    } u1;\r\n} A;\r\n", false},
        Case{"float with other decimals",
             "{ A:\r\n    { u1:\r\n        (float)f=0.5\r\n    } u1;\r\n} A;\r\n", false},
        Case{"type word in capitals",
             "{ A:\r\n    { u1:\r\n        (INT)i=1\r\n    } u1;\r\n} A;\r\n", false},
        Case{"repeated name gathers items",
             "{ A:\r\n    { u1:\r\n        (string)p=a\r\n        (int)q=1\r\n"
             "        (int)P=2\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"item name", "{ A:\r\n    { u1:\r\n        (string)port[2]=x\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"nameless value", "{ A:\r\n    { u1:\r\n        (int)=1\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"empty string", "{ A:\r\n    { u1:\r\n        (string)p=\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"LF line ends", "{ A:\n    { u1:\n        (int)i=1\n    } u1;\n} A;\n", true},
        Case{"CR LF and LF mixed", "{ A:\r\n    { u1:\n        (int)i=1\r\n        (string)s=x\n"
                                   "    } u1;\r\n} A;\n",
             true},
        Case{"LF line ends, repeated name",
             "{ A:\n    { u1:\n        (int)i=1\n        (int)I=2\n    } u1;\n} A;\n", false},
        Case{"LF line ends, octal number",
             "{ A:\n    { u1:\n        (int)i=010\n    } u1;\n} A;\n", false},
        Case{"LF line ends, CR inside a value",
             "{ A:\n    { u1:\n        (string)s=a\rb\n    } u1;\n} A;\n", false},
        Case{"opening line with text after the colon",
             "{ A:\r\n    { u1: note\r\n        (int)i=1\r\n    } u1;\r\n} A;\r\n", true},
        Case{"opening line with text after the colon, enclosing section left open",
             "{ A:\r\n    { u1: note\r\n        (int)i=1\r\n    } u1;\r\n", true},
        Case{"opening line with a text tag",
             "{ A:\r\n    { u1: (t)\r\n        (int)i=1\r\n    } u1;\r\n} A;\r\n", true},
        Case{"closing line with text after the semicolon",
             "{ A:\r\n    { u1:\r\n        (int)i=1\r\n    } u1; note\r\n} A;\r\n", true},
        Case{"closing line without its semicolon",
             "{ A:\r\n    { u1:\r\n        (int)i=1\r\n    } u1\r\n} A;\r\n", true},
        Case{"opening line indented by a tab",
             "{ A:\r\n\t{ u1:\r\n        (int)i=1\r\n    } u1;\r\n} A;\r\n", true},
        Case{"closing line with two blanks",
             "{ A:\r\n    { u1:\r\n        (int)i=1\r\n    }  u1;\r\n} A;\r\n", true},
        Case{"tab indentation", "{ A:\r\n    { u1:\r\n\t(int)i=1\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"deeper indentation",
             "{ A:\r\n    { u1:\r\n          (int)i=1\r\n    } u1;\r\n} A;\r\n", false},
        Case{"comment line", "{ A:\r\n    { u1:\r\n        ;note\r\n    } u1;\r\n} A;\r\n", false},
        Case{"blank line", "{ A:\r\n    { u1:\r\n\r\n        (int)i=1\r\n    } u1;\r\n} A;\r\n",
             false},
        Case{"CR inside a value",
             std::string("{ A:\r\n    { u1:\r\n        (string)p=a\rb\r\n    } u1;\r\n} A;\r\n"),
             false},
        Case{"NUL inside a value",
             std::string("{ A:\r\n    { u1:\r\n        (string)p=a\0b\r\n    } u1;\r\n} A;\r\n", 54),
             false},
        Case{"unmatched closing line stays open",
             "{ A:\r\n    { u1:\r\n        (int)i=1\r\n    } u2;\r\n    } u1;\r\n} A;\r\n", false},
        Case{"no closing line", "{ A:\r\n    { u1:\r\n        (int)i=1\r\n", false},
        Case{"subsection", "{ A:\r\n    { u1:\r\n        { s:\r\n        } s;\r\n    } u1;\r\n"
                           "} A;\r\n",
             false},
        Case{"binary block", "{ A:\r\n    { u1:\r\n        [ b:\r\n        1F\r\n        ] b;\r\n"
                             "    } u1;\r\n} A;\r\n",
             false},
        Case{"section repeated later merges",
             std::string(kUser).append(
                 "{ A:\r\n    { u1:\r\n        (string)MapTo=x\r\n    } u1;\r\n} A;\r\n"),
             false},
        Case{"value holding the section's name", "{ A:\r\n    (int)u1=5\r\n    { u1:\r\n"
                                                 "        (int)i=1\r\n    } u1;\r\n} A;\r\n",
             false}),
    [](const testing::TestParamInfo<Case>& info) {
      std::string name;
      for (const char* p = info.param.what; *p != '\0'; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      }
      return name;
    });

// Sections directly below the loaded one stay text whenever they close before the input ends,
// however they nest inside; the tree writes the same as one parsed at once.
TEST(KeptText, WholeSectionsFollowNestingAndBlocks) {
  const std::string longLine(5000, 'x');
  const struct {
    const char* what;
    std::string text;
    bool kept;  // whether A stays text
  } cases[] = {
      {"nested sections", "{ A:\r\n    { B:\r\n        { C:\r\n        } C;\r\n    } B;\r\n"
                          "    (int)v=1\r\n} A;\r\n{ Z:\r\n} Z;\r\n",
       true},
      {"closing line in other letter case", "{ A:\n  { B:\n  } B;\n} a;\n(int)after=1\n", true},
      {"no closing line", "{ A:\r\n    { B:\r\n    } B;\r\n", false},
      {"inner section left open", "{ A:\r\n    { B:\r\n} A;\r\n", false},
      {"closing line inside a block", "{ A:\r\n    [ b:\r\n} A;\r\n    ] b;\r\n} A;\r\n"
                                      "(int)after=2\r\n",
       true},
      {"closing line of another section", "{ A:\r\n} B;\r\n} A;\r\n", true},
      {"long line with a closing piece",
       "{ A:\r\n    (string)s=" + longLine.substr(0, 4081) + "} A;\r\n(int)v=1\r\n", true},
      {"long line", "{ A:\r\n    (string)s=" + longLine + "\r\n} A;\r\n", true},
      {"blank closing line", "{ A:\r\n}\r\n} A;\r\n", true},
  };
  for (const auto& c : cases) {
    ConfigSection eager("root");
    load(&eager, c.text, false);
    ConfigSection lazy("root");
    load(&lazy, c.text, true);
    EXPECT_EQ(lazy.sectionByName("A")->keptAsText(), c.kept) << c.what;
    const std::string expected = written(&eager);
    EXPECT_EQ(written(&lazy), expected) << c.what;
    EXPECT_EQ(lazy.count(), eager.count()) << c.what;
    EXPECT_EQ(lazy.sectionByName("A")->count(), eager.sectionByName("A")->count()) << c.what;
    EXPECT_EQ(written(&lazy), expected) << c.what;
  }
}

// A section whose length is known is taken only when the line after that length closes it;
// otherwise nothing is read and the lines read on as before.
TEST(KeptText, ASectionOfKnownLengthIsTakenOnlyWhenItsNextLineClosesIt) {
  const std::string contents = "    { B:\r\n    } B;\r\n    (int)v=1\r\n";
  const std::string text = "{ A:\r\n" + contents + "} A;\r\n(int)after=1\r\n";
  const size_t exact = contents.size();
  for (const size_t length : {exact, exact - 11, exact - 1, size_t{0}, text.size()}) {
    SCOPED_TRACE(length);
    auto stream = TextStream::forReading(text);
    ASSERT_EQ(stream->readLine(), 1);
    ASSERT_EQ(stream->parseLine(), kTokenSectionOpen);
    DeferredContents taken;
    const int result = stream->takeSectionOfLength(length, &taken);
    ASSERT_EQ(result, length == exact ? 1 : 0);
    if (result == 1) {
      EXPECT_EQ(taken.source->text().substr(taken.begin, taken.length), contents);
      ASSERT_EQ(stream->readLine(), 1);
      EXPECT_EQ(stream->parseLine(), kTokenInt);  // after=1, at the top again
    } else {
      ASSERT_EQ(stream->readLine(), 1);
      EXPECT_EQ(stream->parseLine(), kTokenSectionOpen);  // { B: as if nothing happened
    }
  }
}

// A file loaded whole for many readers keeps only small plain sections as text.
TEST(KeptText, CompleteLoadParsesAllButPlainSections) {
  platform::ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  platform::writeWholeFile(path, kUser);
  ConfigFile whole(path.c_str(), 0);
  ASSERT_EQ(whole.loadComplete(), 1);
  EXPECT_FALSE(whole.sectionByName("A")->keptAsText());
  EXPECT_TRUE(whole.sectionByName("A")->sectionByName("u1")->keptAsText());
  ConfigFile lazy(path.c_str(), 1);
  ASSERT_EQ(lazy.load(), 1);
  EXPECT_TRUE(lazy.sectionByName("A")->keptAsText());
}

// A section kept as text and moved to another depth is written item by item at its new depth.
TEST(KeptText, MovedSectionIsWrittenAtItsNewDepth) {
  ConfigSection root("root");
  load(&root, kUser, true);
  ConfigSection* a = root.sectionByName("A");
  NamedObject* user = a->detachAtIndex(a->indexOfName("u1"), nullptr);
  ASSERT_NE(user, nullptr);
  ASSERT_TRUE(static_cast<ConfigSection*>(user)->keptAsText());
  root.add(user);
  EXPECT_EQ(written(&root),
            "{ A:\r\n} A;\r\n{ u1:\r\n    (string)Password=pw\r\n    (int)disabled=0\r\n} u1;\r\n");
}

// A section kept as text whose name or tag changed is written with them: its lines around the
// contents are the file's only while they are the ones the writer would write.
TEST(KeptText, RenamedOrTaggedSectionIsWrittenAsChanged) {
  const struct {
    const char* what;
    void (*change)(ConfigSection* user);
  } cases[] = {
      {"shorter name", [](ConfigSection* u) { u->rename("u"); }},
      {"longer name", [](ConfigSection* u) { u->rename("u10"); }},
      {"other letter case", [](ConfigSection* u) { u->rename("U1"); }},
      {"hex tag", [](ConfigSection* u) { u->setHexTag(0x1F); }},
      {"text tag", [](ConfigSection* u) { u->setTextTag("t"); }},
  };
  for (const auto& c : cases) {
    ConfigSection eager("root");
    load(&eager, kUser, false);
    c.change(eager.sectionByName("A")->sectionByName("u1"));
    ConfigSection lazy("root");
    load(&lazy, kUser, true);
    ConfigSection* user = lazy.sectionByName("A")->sectionByName("u1");
    c.change(user);
    EXPECT_TRUE(user->keptAsText()) << c.what;
    EXPECT_EQ(written(&lazy), written(&eager)) << c.what;
  }
}

// A loaded section lives in the memory of the text it was read from: it stays usable when
// detached from a tree that is destroyed first.
TEST(KeptText, DetachedSectionOutlivesItsTree) {
  NamedObject* user = nullptr;
  {
    ConfigSection root("root");
    load(&root, kUser, true);
    ConfigSection* a = root.sectionByName("A");
    user = a->detachAtIndex(a->indexOfName("u1"), nullptr);
  }
  auto* section = static_cast<ConfigSection*>(user);
  EXPECT_STREQ(section->valueByName("Password")->getString(), "pw");
  ConfigSection* copy = section->clone();
  section->destroy();
  EXPECT_EQ(copy->valueByName("disabled")->getInt(), 0);
  copy->destroy();
}

// Changes to a section kept as text parse it first; the untouched ones are still written as
// they were read.
TEST(KeptText, ChangedSectionIsWrittenWithTheChange) {
  const std::string text = usersText(40);
  ConfigSection root("root");
  load(&root, text, true);
  ConfigSection* a = root.sectionByName("A");
  a->sectionByName("u7")->setString("Password", "changed");
  a->sectionByName("u9")->setInt("disabled", 1);
  EXPECT_TRUE(a->sectionByName("u8")->keptAsText());
  std::string expected = text;
  const std::string from7 = "(string)Password=p7\r\n";
  expected.replace(expected.find(from7), from7.size(), "(string)Password=changed\r\n");
  const std::string after9 = "(string)Password=p9\r\n";
  expected.insert(expected.find(after9) + after9.size(), "        (int)disabled=1\r\n");
  EXPECT_EQ(written(&root), expected);
}

// The search for section and block lines of a whole section kept as text follows the line reads
// exactly: where a long line is cut into pieces, what a block hides, what only looks like a
// section line. Each case is the contents of a section A, then a value, A's closing line and a
// value after it.
TEST(KeptText, WholeSectionSearchFollowsTheLineReads) {
  const std::string blanks(4090, ' ');
  const struct {
    const char* what;
    std::string contents;
  } cases[] = {
      {"braces inside values", "    (string)s={ x:\r\n    (string)t=} A;\r\n"},
      {"brackets inside values", "    (string)s=[ b:\r\n    (string)t=] b;\r\n"},
      {"closing line after text", "    x } A;\r\n"},
      {"closing piece of a long line", "    (string)s=" + std::string(4081, 'x') + "} A;\r\n"},
      {"closing piece after blanks", std::string(4095, 'x') + "   } A;\r\n"},
      {"piece that only starts with blanks", blanks + "x} A;\r\n"},
      {"line of exactly one piece", std::string(4094, 'x') + "\r\n} A;\r\n"},
      {"closing line in a block", "    [ b:\r\n    } A;\r\n    ] b;\r\n"},
      {"block closed by its value name", "    [ b[1]:\r\n    1F\r\n    ] b;\r\n"},
      {"nested section of the same name", "    { A:\r\n    } A;\r\n    (int)in=1\r\n"},
      {"opening line with a tag", "    { B: (t)\r\n        (int)i=1\r\n    } B;\r\n"},
      {"opening line without a blank", "    {B:\r\n    } B;\r\n"},
      {"NUL before the name", std::string("    } \0A;\r\n", 12)},
      {"tab and LF", "\t{\tB:\n\t}\tB;\n"},
  };
  for (const auto& c : cases) {
    // "between" lands inside A or after it, as the contents close A or not.
    const std::string text =
        "{ A:\r\n" + c.contents + "(int)between=1\r\n} A;\r\n(int)after=1\r\n";
    ConfigSection eager("root");
    load(&eager, text, false);
    ConfigSection lazy("root");
    load(&lazy, text, true);
    const std::string expected = written(&eager);
    EXPECT_EQ(written(&lazy), expected) << c.what;
    EXPECT_EQ(lazy.count(), eager.count()) << c.what;
    EXPECT_EQ(lazy.valueByName("between")->getInt(), eager.valueByName("between")->getInt())
        << c.what;
    EXPECT_EQ(written(&lazy), expected) << c.what;
  }
}

// Many plain sections in a row, more than a run takes at once and than the writer holds before
// writing: the tree writes the file as it was, a repeated section still merges into the first,
// and a section limit stops the loader after that many sections.
TEST(KeptText, LongRunsOfPlainSections) {
  const std::string text = usersText(20000);
  ConfigSection lazy("root");
  load(&lazy, text, true);
  ConfigSection* a = lazy.sectionByName("A");
  EXPECT_EQ(a->count(), 20000);
  EXPECT_EQ(a->indexOfName("U19999"), 20000);
  EXPECT_TRUE(a->sectionByName("u12345")->keptAsText());
  EXPECT_EQ(written(&lazy), text);

  // u5 repeated after the others: its lines merge into the first u5.
  std::string repeated = text.substr(0, text.size() - 6);  // without "} A;" CR LF
  repeated.append("    { U5:\r\n        (string)MapTo=x\r\n    } U5;\r\n} A;\r\n");
  ConfigSection eager("root");
  load(&eager, repeated, false);
  ConfigSection merged("root");
  load(&merged, repeated, true);
  EXPECT_EQ(merged.sectionByName("A")->count(), 20000);
  EXPECT_STREQ(merged.sectionByName("A")->sectionByName("u5")->valueByName("MapTo")->getString(),
               "x");
  EXPECT_EQ(written(&merged), written(&eager));

  ConfigSection limited("root");
  auto stream = TextStream::forReading(text.substr(6));  // the users, at the top
  EXPECT_EQ(limited.readContents(stream.get(), 3), 1);
  EXPECT_EQ(limited.count(), 3);
  EXPECT_EQ(limited.readContents(stream.get(), 2), 1);
  EXPECT_EQ(limited.count(), 5);
  EXPECT_EQ(limited.indexOfName("u4"), 5);
}

// A file whose lines end in LF alone (edited by hand) keeps its small sections as text whichever
// way it is loaded; a save writes CR LF lines, the bytes of the tree parsed at once.
TEST(KeptText, FileWithLfLineEnds) {
  std::string text = usersText(100);
  for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at)) {
    text.erase(at, 1);
  }
  platform::ScratchDirectory dir;
  const std::string path = dir.file("lf.cfg");
  platform::writeWholeFile(path, text);
  ConfigSection eager("root");
  load(&eager, text, false);
  const std::string expected = written(&eager);
  ASSERT_NE(expected, text);

  ConfigFile complete(path.c_str(), 0);
  ASSERT_EQ(complete.loadComplete(), 1);
  EXPECT_FALSE(complete.sectionByName("A")->keptAsText());
  EXPECT_TRUE(complete.sectionByName("A")->sectionByName("u42")->keptAsText());
  EXPECT_EQ(written(&complete), expected);

  ConfigFile lazy(path.c_str(), 1);
  ASSERT_EQ(lazy.load(), 1);
  EXPECT_TRUE(lazy.sectionByName("A")->sectionByName("u42")->keptAsText());
  ASSERT_EQ(lazy.save(), 1);
  EXPECT_EQ(platform::readWholeFile(path), expected);
}

}  // namespace
}  // namespace gatekeeper
