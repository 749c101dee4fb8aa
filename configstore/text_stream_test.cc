#include "configstore/text_stream.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "configstore/config_section.h"

namespace gatekeeper {
namespace {

std::string write(const ConfigSection& root) {
  std::string out;
  auto stream = TextStream::forWriting(&out);
  EXPECT_EQ(const_cast<ConfigSection&>(root).writeContents(stream.get()), 1);
  EXPECT_EQ(stream->close(), 1);
  return out;
}

void read(const std::string& text, ConfigSection* root) {
  auto stream = TextStream::forReading(text);
  EXPECT_EQ(root->readContents(stream.get(), -1), 1);
}

std::vector<int> tokensOf(const std::string& text) {
  auto stream = TextStream::forReading(text);
  std::vector<int> tokens;
  while (stream->readLine()) tokens.push_back(stream->parseLine());
  return tokens;
}

TEST(TextStreamTest, WritesEveryLineFormWithCrLfAndIndentation) {
  ConfigSection root("ignored.cfg");
  ConfigSection* main = root.getOrCreateSection("MAIN");
  main->setTextTag("label");
  ConfigSection* servers = main->getOrCreateSection("SERVERS");
  servers->setHexTag(0xAB);
  servers->setString("www|8080", "Staff");
  main->setInt("Disable", 0);
  main->addIntItem("port", "2", -7);
  main->setFloat("f", 0.5f);
  main->setDouble("d", 123456789.0);
  main->setInt64("big", -5000000000LL);
  main->setString("empty", "");
  const unsigned char bytes[] = {0, 0x1F, 0xFF};
  main->addBinaryItem("key", nullptr, bytes, 3);
  main->addBinaryItem("key", "x", bytes + 2, 1);
  root.addStringItem(nullptr, nullptr, "nameless");
  root.setString("top", " spaced = text");
  EXPECT_EQ(write(root),
            "(string)=nameless\r\n"
            "(string)top= spaced = text\r\n"
            "{ MAIN: (label)\r\n"
            "    (int)Disable=0\r\n"
            "    (int)port[2]=-7\r\n"
            "    (float)f=0.500000\r\n"
            "    (double)d=1.23457E+08\r\n"
            "    (int64)big=-5000000000\r\n"
            "    (string)empty=\r\n"
            "    [ key:\r\n"
            "    0\r\n"
            "    1F\r\n"
            "    FF\r\n"
            "    ] key;\r\n"
            "    [ key[x]:\r\n"
            "    FF\r\n"
            "    ] key;\r\n"
            "    { SERVERS: {AB}\r\n"
            "        (string)www|8080=Staff\r\n"
            "    } SERVERS;\r\n"
            "} MAIN;\r\n");
}

TEST(TextStreamTest, ParsesTokensByTheLineRules) {
  EXPECT_EQ(tokensOf("\n"
                     "\r\n"
                     "   \n"
                     "; comment\n"
                     "(INT)a=0x1F\n"
                     "(int)b=letters\n"
                     "(bogus)c=1\n"
                     "(string)d=\n"
                     "(float)e=1.5\n"
                     "(double)f=2E+01\n"
                     "(int64)g=-9000000000\n"
                     "(string)=text\n"
                     "{nospace:\n"
                     "{ open:\n"
                     "} other;\n"
                     "} OPEN;\n"
                     "} open;\n"
                     "[ blk:\n"
                     "{ inside:\n"
                     "] other;\n"
                     "] BLK;\n"
                     "] blk;\n"
                     "[ :\n"
                     "{ :\n"
                     "plain words\n"),
            (std::vector<int>{0, 0, 11, 0, 6, 0, 0, 0, 7, 9, 10, 8, 0, 1, 0, 2, 0, 3, 0, 0, 4, 0,
                              0, 0, 11}));
}

TEST(TextStreamTest, ReadsValuesNamesAndTags) {
  auto stream = TextStream::forReading(
      "(Int)port[2]=010\n"
      "  \t(string)s= keep = all \r\n"
      "{ S1: (text tag)\n"
      "{ S2: {1f}\n"
      "{ S3: ()\n"
      "{ S4: (unclosed\n");
  ASSERT_TRUE(stream->readLine());
  ASSERT_EQ(stream->parseLine(), kTokenInt);
  EXPECT_EQ(stream->lastInt(), 8);
  EXPECT_STREQ(stream->lastName(nullptr), "port[2]");
  const char* item = nullptr;
  EXPECT_STREQ(stream->lastName(&item), "port");
  EXPECT_STREQ(item, "2");
  ASSERT_TRUE(stream->readLine());
  ASSERT_EQ(stream->parseLine(), kTokenString);
  EXPECT_STREQ(stream->lastString(), " keep = all ");
  EXPECT_STREQ(stream->lastName(&item), "s");
  EXPECT_EQ(item, nullptr);
  const char* tag = nullptr;
  ASSERT_TRUE(stream->readLine());
  ASSERT_EQ(stream->parseLine(), kTokenSectionOpen);
  EXPECT_EQ(stream->sectionTag(&tag), kTagText);
  EXPECT_STREQ(tag, "text tag");
  EXPECT_EQ(stream->depth(), 1);
  stream->readLine();
  stream->parseLine();
  EXPECT_EQ(stream->sectionTag(&tag), kTagHex);
  EXPECT_STREQ(tag, "1f");
  stream->readLine();
  stream->parseLine();
  EXPECT_EQ(stream->sectionTag(&tag), kTagNone);
  stream->readLine();
  stream->parseLine();
  EXPECT_EQ(stream->sectionTag(&tag), kTagNone);
  EXPECT_EQ(stream->depth(), 4);
  EXPECT_FALSE(stream->readLine());
}

TEST(TextStreamTest, FieldAndLineLimits) {
  const std::string longName(1024, 'n');
  const std::string okName(1023, 'n');
  EXPECT_EQ(tokensOf("(int)" + longName + "=1\n"), std::vector<int>{0});
  EXPECT_EQ(tokensOf("(int)" + okName + "=1\n"), std::vector<int>{6});
  EXPECT_EQ(tokensOf("(string)a=" + std::string(1024, 'v') + "\n"), std::vector<int>{0});
  EXPECT_EQ(tokensOf("{ " + longName + ":\n"), std::vector<int>{0});
  // A line longer than the line buffer arrives in pieces, each parsed as a line.
  auto stream = TextStream::forReading(std::string(4095, 'x') + "(int)b=2\r\n");
  ASSERT_TRUE(stream->readLine());
  EXPECT_EQ(std::string(stream->lineBuffer()).size(), 4095u);
  EXPECT_EQ(stream->parseLine(), kTokenOther);
  ASSERT_TRUE(stream->readLine());
  EXPECT_EQ(stream->parseLine(), kTokenInt);
  EXPECT_EQ(stream->lastInt(), 2);
  EXPECT_FALSE(stream->readLine());
}

TEST(TextStreamTest, LoaderMergesSectionsAndAppendsItems) {
  ConfigSection root("root");
  read("(int)a=1\n"
       "(int)a=2\n"
       "(string)=one\n"
       "(string)=two\n"
       "(string)gone=\n"
       "{ S:\n"
       "  (int)x=1\n"
       "} s;\n"
       "{ s:\n"
       "  (int)y=2\n"
       "  { inner:\n"
       "    } wrong;\n"
       "    (int)z=3\n"
       "}   inner;\n"
       "} S;\n"
       "{nospace:\n"
       "(int)w=4\n"
       "} nospace;\n"
       "[ empty:\n"
       "] empty;\n"
       "[ bytes[7]:\n"
       "1f\n"
       "junk\n"
       "ff\n"
       "] bytes;\n"
       "{ open:\n"
       "(int)q=5\n",
       &root);
  EXPECT_EQ(root.valueByName("a")->count(), 2);
  EXPECT_EQ(root.valueByName("a")->getInt(), 1);
  EXPECT_EQ(root.valueByName("gone"), nullValue());
  EXPECT_EQ(root.valueByName("empty"), nullValue());
  ConfigSection* s = root.sectionByName("S");
  EXPECT_EQ(s->valueByName("x")->getInt(), 1);
  EXPECT_EQ(s->valueByName("y")->getInt(), 2);
  EXPECT_EQ(s->sectionByName("inner")->valueByName("z")->getInt(), 3);
  EXPECT_EQ(root.valueByName("w")->getInt(), 4);
  ConfigValue* bytes = root.valueByName("bytes");
  ASSERT_EQ(bytes->binaryLength(), 3u);
  EXPECT_STREQ(bytes->itemByIndex(1)->name(), "7");
  EXPECT_EQ(bytes->getBinary()[0], 0x1F);
  EXPECT_EQ(bytes->getBinary()[1], 0);
  EXPECT_EQ(bytes->getBinary()[2], 0xFF);
  EXPECT_EQ(root.sectionByName("open")->valueByName("q")->getInt(), 5);
  // Two nameless values stay apart: a lookup never matches an absent name.
  int nameless = 0;
  for (int32_t i = 1; i <= root.count(); ++i) {
    const NamedObject* child = root.getByIndex(i);
    if (child != nullptr && !child->hasName()) ++nameless;
  }
  EXPECT_EQ(nameless, 2);
}

TEST(TextStreamTest, BlockWithoutClosingLineTakesTheRestOfTheFile) {
  ConfigSection root("root");
  read("[ blk:\n1\n{ s:\n(int)a=1\n2\n", &root);
  EXPECT_EQ(root.valueByName("blk")->binaryLength(), 4u);
  EXPECT_EQ(root.sectionByName("s"), nullSection());
}

TEST(TextStreamTest, SectionLimitStopsTheLoader) {
  ConfigSection root("root");
  auto stream = TextStream::forReading("{ a:\n{ deep:\n} deep;\n} a;\n{ b:\n} b;\n(int)late=1\n");
  EXPECT_EQ(root.readContents(stream.get(), 1), 1);
  EXPECT_EQ(root.count(), 1);
  EXPECT_FALSE(root.sectionByName("a")->sectionByName("deep")->isPlaceholder());
  ConfigSection none("none");
  auto again = TextStream::forReading("(int)x=1\n{ a:\n} a;\n");
  EXPECT_EQ(none.readContents(again.get(), 0), 1);
  EXPECT_EQ(none.count(), 1);
}

TEST(TextStreamTest, ValueAndSectionOfOneNameBothSurvive) {
  ConfigSection root("root");
  root.setInt("x", 1);
  root.add(new ConfigSection("x"));
  root.sectionByIndex(2)->setInt("inner", 2);
  const std::string text = write(root);
  ConfigSection back("back");
  read(text, &back);
  EXPECT_EQ(write(back), text);
}

TEST(TextStreamTest, UnwritableNamesAndTextsFailTheWrite) {
  auto fails = [](auto change) {
    ConfigSection root("root");
    change(&root);
    std::string out;
    auto stream = TextStream::forWriting(&out);
    const int written = root.writeContents(stream.get());
    return written == 0 && stream->failed() && stream->close() == 0;
  };
  EXPECT_TRUE(fails([](ConfigSection* r) { r->setString("a", "two\nlines"); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->setString("a", "cr\r"); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->setInt("a=b", 1); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->setInt("a[b", 1); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->addIntItem("a", "b]", 1); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->createSection("a:b"); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->createSection("a;b"); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->createSection(" lead"); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->add(new ConfigSection(nullptr)); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->getOrCreateSection("s")->setTextTag("a)b"); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->setBinary("k:x", "a", 1); }));
  EXPECT_TRUE(fails([](ConfigSection* r) {
    r->getOrCreateSection("s")->setTextTag(std::string(1020, 't').c_str());
  }));
  EXPECT_FALSE(fails([](ConfigSection* r) {
    r->getOrCreateSection("s")->setTextTag(std::string(1019, 't').c_str());
  }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->setString("a", std::string(1024, 'x').c_str()); }));
  EXPECT_TRUE(fails([](ConfigSection* r) { r->add(new ConfigValue(nullptr)), r->valueByIndex(1)->setBinary("a", 1); }));
  EXPECT_FALSE(fails([](ConfigSection* r) { r->setString("a", std::string(1023, 'x').c_str()); }));
  EXPECT_FALSE(fails([](ConfigSection* r) { r->setString("a", "x)y]z:;{"); }));
}

TEST(TextStreamTest, StreamWritersCheckTheirState) {
  std::string out;
  auto stream = TextStream::forWriting(&out);
  EXPECT_EQ(stream->closeSection(), 0);
  EXPECT_EQ(stream->closeBlock(), 0);
  EXPECT_EQ(stream->openBlock("a", nullptr), 1);
  EXPECT_EQ(stream->openBlock("b", nullptr), 0);
  EXPECT_EQ(stream->writeBytes(nullptr, 1), 0);
  EXPECT_EQ(stream->closeBlock(), 1);
  EXPECT_EQ(stream->openSection("s"), 1);
  EXPECT_EQ(stream->depth(), 1);
  EXPECT_EQ(stream->closeSection(), 1);
  EXPECT_EQ(stream->capabilities(), 15);
  EXPECT_EQ(stream->close(), 1);
  EXPECT_EQ(out, "[ a:\r\n] a;\r\n{ s:\r\n} s;\r\n");
  TextStream closed = TextStream::openForReading("");
  EXPECT_EQ(closed.isOpen(), 0);
  EXPECT_EQ(closed.writeInt("a", 1, nullptr), 0);
  EXPECT_EQ(closed.readLine(), 0);
  ConfigSection root("root");
  EXPECT_EQ(root.readContents(&closed, -1), 0);
  EXPECT_EQ(root.writeContents(&closed), 0);
}

TEST(TextStreamTest, NavigatesSectionsValuesAndBlocks) {
  const std::string text =
      "(int)top=1\n"
      "{ MAIN:\n"
      "    (string)log=file.txt\n"
      "    { SERVERS:\n"
      "        (string)www=Staff\n"
      "    } SERVERS;\n"
      "    (int)Disable=1\n"
      "    (int64)big=-5\n"
      "    (double)d=2.5\n"
      "    (float)f=0.25\n"
      "    [ key:\n"
      "    A\n"
      "    B\n"
      "    ] key;\n"
      "} MAIN;\n"
      "{ OTHER:\n"
      "} OTHER;\n";
  auto s = TextStream::forReading(text);
  int32_t i = 0;
  EXPECT_EQ(s->findInt("top", &i), 1);
  EXPECT_EQ(i, 1);
  ASSERT_EQ(s->enterPath("main/servers"), 1);
  std::string str;
  EXPECT_EQ(s->findString("WWW", &str), 1);
  EXPECT_EQ(str, "Staff");
  // Not in this section: back to its start, still inside.
  EXPECT_EQ(s->findInt("Disable", &i), 0);
  EXPECT_EQ(i, 0);
  EXPECT_EQ(s->depth(), 2);
  EXPECT_EQ(s->findString("www", &str), 1);
  EXPECT_EQ(s->skipSection(), 1);
  EXPECT_EQ(s->depth(), 1);
  EXPECT_EQ(s->findInt("Disable", &i), 1);
  EXPECT_EQ(i, 1);
  int64_t big = 0;
  double d = 0;
  float f = 0;
  EXPECT_EQ(s->findInt64("big", &big), 1);
  EXPECT_EQ(big, -5);
  EXPECT_EQ(s->findDouble("d", &d), 1);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(s->findFloat("f", &f), 1);
  EXPECT_EQ(f, 0.25f);
  unsigned char bytes[4] = {};
  EXPECT_EQ(s->findBlock("key", bytes, sizeof(bytes)), 2u);
  EXPECT_EQ(bytes[0], 0xA);
  EXPECT_EQ(bytes[1], 0xB);
  EXPECT_EQ(s->restartSection(), 1);
  EXPECT_EQ(s->findValue("log", 0), kTokenString);
  EXPECT_EQ(s->findValue("key", 0), kTokenBlockOpen);
  EXPECT_EQ(s->restartSection(), 1);
  EXPECT_EQ(s->enterNextSection(), 1);
  EXPECT_STREQ(s->lastName(nullptr), "SERVERS");
  EXPECT_EQ(s->enterPath("main/nothing"), 0);
  EXPECT_EQ(s->enterPath("/OTHER/"), 1);
  EXPECT_EQ(s->depth(), 1);
  // At the end of the input a lookup rewinds.
  EXPECT_EQ(s->rewind(), 1);
  EXPECT_EQ(s->enterSection("OTHER"), 1);
  EXPECT_EQ(s->skipSection(), 1);
  EXPECT_EQ(s->findValue("nothing", 0), 0);
  EXPECT_EQ(s->depth(), 0);
  EXPECT_EQ(s->position(), 0u);
}

// Random trees written and read back must compare equal, item for item.
class RandomTrees {
 public:
  explicit RandomTrees(uint32_t seed) : random_(seed) {}

  void fill(ConfigSection* section, int depth) {
    const int children = static_cast<int>(random_() % 6);
    for (int i = 0; i < children; ++i) {
      if (depth < 3 && random_() % 3 == 0) {
        ConfigSection* child = section->getOrCreateSection(name().c_str());
        if (child == nullptr) continue;
        if (random_() % 4 == 0) child->setHexTag(static_cast<uint32_t>(random_()));
        if (random_() % 4 == 0) child->setTextTag(text(true).c_str());
        fill(child, depth + 1);
      } else {
        addItem(section);
      }
    }
  }

 private:
  std::string name() {
    static const char kChars[] = "abcXYZ09_-.|@ \xC4\xE4";
    std::string out(1 + random_() % 8, 'a');
    for (char& c : out) c = kChars[random_() % (sizeof(kChars) - 1)];
    if (out[0] == ' ') out[0] = 'q';
    return out;
  }

  std::string text(bool forTag) {
    static const char kChars[] = "abc XYZ=[]{}():;!\t\xE9";
    std::string out(1 + random_() % 20, 'a');
    for (char& c : out) {
      c = kChars[random_() % (sizeof(kChars) - 1)];
      if (forTag && c == ')') c = '(';
    }
    return out;
  }

  void addItem(ConfigSection* section) {
    const std::string n = name();
    const std::string item = random_() % 4 == 0 ? name() : std::string();
    const char* itemName = item.empty() ? nullptr : item.c_str();
    switch (random_() % 6) {
      case 0: section->addIntItem(n.c_str(), itemName, static_cast<int32_t>(random_())); break;
      case 1: section->addFloatItem(n.c_str(), itemName, static_cast<float>(random_() % 100000) / 64.0f); break;
      case 2: section->addStringItem(n.c_str(), itemName, text(false).c_str()); break;
      case 3: section->addDoubleItem(n.c_str(), itemName, static_cast<double>(random_() % 1000000) / 100.0); break;
      case 4: section->addInt64Item(n.c_str(), itemName, static_cast<int64_t>(random_()) * 977 - (1LL << 40)); break;
      case 5: {
        std::vector<unsigned char> bytes(1 + random_() % 5);
        for (auto& b : bytes) b = static_cast<unsigned char>(random_());
        section->addBinaryItem(n.c_str(), itemName, bytes.data(), static_cast<uint32_t>(bytes.size()));
        break;
      }
    }
  }

  std::mt19937 random_;
};

void expectSameTree(const ConfigSection& a, const ConfigSection& b) {
  // Reading groups values ahead of sections, so compare per kind in order.
  std::vector<const ConfigNode*> va, sa, vb, sb;
  for (int32_t i = 1; i <= a.count(); ++i) {
    auto* n = static_cast<const ConfigNode*>(a.getByIndex(i));
    if (n != nullptr) (n->isValueNode() ? va : sa).push_back(n);
  }
  for (int32_t i = 1; i <= b.count(); ++i) {
    auto* n = static_cast<const ConfigNode*>(b.getByIndex(i));
    if (n != nullptr) (n->isValueNode() ? vb : sb).push_back(n);
  }
  ASSERT_EQ(va.size(), vb.size());
  ASSERT_EQ(sa.size(), sb.size());
  for (size_t i = 0; i < va.size(); ++i) {
    ASSERT_STREQ(va[i]->name(), vb[i]->name());
    auto* x = static_cast<const ConfigValue*>(va[i]);
    auto* y = static_cast<const ConfigValue*>(vb[i]);
    ASSERT_EQ(x->count(), y->count());
    for (int32_t k = 1; k <= x->count(); ++k) {
      const ValueItem* p = x->itemByIndex(k);
      const ValueItem* q = y->itemByIndex(k);
      ASSERT_EQ(p->type(), q->type());
      ASSERT_STREQ(p->name(), q->name());
      ASSERT_EQ(p->getInt(), q->getInt());
      ASSERT_EQ(p->getFloat(), q->getFloat());
      ASSERT_EQ(p->getDouble(), q->getDouble());
      ASSERT_EQ(p->getInt64(), q->getInt64());
      ASSERT_STREQ(p->getString(), q->getString());
      ASSERT_EQ(std::string(reinterpret_cast<const char*>(p->binaryData()), p->binaryLength()),
                std::string(reinterpret_cast<const char*>(q->binaryData()), q->binaryLength()));
    }
  }
  for (size_t i = 0; i < sa.size(); ++i) {
    auto* x = static_cast<const ConfigSection*>(sa[i]);
    auto* y = static_cast<const ConfigSection*>(sb[i]);
    ASSERT_STREQ(x->name(), y->name());
    ASSERT_EQ(x->tagKind(), y->tagKind());
    ASSERT_EQ(x->hexTag(), y->hexTag());
    ASSERT_STREQ(x->textTag(), y->textTag());
    expectSameTree(*x, *y);
  }
}

TEST(TextStreamTest, RandomTreesRoundTrip) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    ConfigSection original("original");
    RandomTrees(seed).fill(&original, 0);
    const std::string text = write(original);
    ConfigSection back("back");
    read(text, &back);
    SCOPED_TRACE("seed " + std::to_string(seed) + "\n" + text);
    expectSameTree(original, back);
    ASSERT_EQ(write(back), text);
  }
}

}  // namespace
}  // namespace gatekeeper
