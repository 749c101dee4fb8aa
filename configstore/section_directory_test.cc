#include "configstore/section_directory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "configstore/text_stream.h"

namespace gatekeeper {
namespace {

// The text that the writer writes for a tree.
std::string written(ConfigSection& root) {
  std::string text;
  {
    auto stream = TextStream::forWriting(&text);
    EXPECT_EQ(root.writeContents(stream.get()), 1);
  }
  return text;
}

// A tree read from text: parsed whole (largeSections 0), or with the large sections two levels
// down kept as text.
std::unique_ptr<ConfigSection> readTree(const CountedRef<SourceText>& source,
                                        size_t largeSections) {
  auto root = std::make_unique<ConfigSection>(nullptr);
  TextStream stream(source.get(), 0, source->text().size());
  stream.keepWholeSectionsAsText(false);
  root->readContentsKeepingLarge(&stream, largeSections);
  return root;
}

// The directories' image of a text, as bytes.
std::string imageOf(std::string_view text, size_t largeSections) {
  const DirectoryImage image = SectionDirectories::build(text, largeSections);
  return std::string(image.data(), image.size());
}

CountedRef<SourceText> sourceOf(const std::string& text) {
  return CountedRef<SourceText>::adopt(SourceText::adopt(text));
}

// Users of every shape that a value can take: the directory must read each exactly as the
// parsed tree does, including items of other types and item names under one value name.
TEST(SectionDirectoryTest, AChildFoundReadsAsTheParsedChild) {
  ConfigSection root(nullptr);
  ConfigSection* users = root.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
  root.getOrCreateSection("MAIN")->setString("log", "events.log");
  for (int i = 0; i < 300; ++i) {
    std::string name = "user";
    name += std::to_string(i);
    std::string password = "pw";
    password += std::to_string(i);
    ConfigSection* user = users->getOrCreateSection(name.c_str());
    user->setString("Password", password.c_str());
    // One user with more lines than a child keeps classified.
    for (int extra = 0; i == 7 && extra < 20; ++extra) {
      std::string valueName = "extra";
      valueName += std::to_string(extra);
      user->setInt(valueName.c_str(), extra + 1);
    }
    switch (i % 6) {
      case 0: user->setInt("Disabled", i); break;
      case 1: user->setString("Disabled", "1"); break;  // a string flag reads as unset
      case 2:
        user->addStringItem("MapTo", "first", "web");
        user->addIntItem("MapTo", "second", 7);
        break;
      case 3: user->addIntItem("MapTo", nullptr, -3); break;  // an int only: text ""
      case 4: user->setInt64("Disabled", 5); break;           // int64: not an int
      default: user->setString("MapTo", ""); break;
    }
  }
  const auto source = sourceOf(written(root));
  const std::string image = imageOf(source->text(), 64);
  const auto parsed = readTree(source, 0);
  const auto kept = readTree(source, 64);
  const SectionDirectories directories(image, source->text());
  const ConfigSection* keptStaff = kept->sectionByName("ACCOUNTS")->sectionByName("Staff");
  ASSERT_TRUE(keptStaff->keptAsText());
  const SectionDirectory* directory = directories.forSection(*keptStaff);
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(directory->childCount(), 300u);

  const ConfigSection* parsedStaff = parsed->sectionByName("ACCOUNTS")->sectionByName("Staff");
  const char* const valueNames[] = {"Password", "disabled", "MapTo", "expiredate", "extra19", ""};
  for (const std::string name : {"user0", "USER1", "User2", "user3", "user4", "user7", "user299",
                                 "user300", "user", "nobody", "user1 "}) {
    SCOPED_TRACE(name);
    const ConfigSection* expected = parsedStaff->sectionByName(name.c_str());
    PlainChild child;
    const SectionDirectory::Lookup lookup = directory->find(name.c_str(), &child);
    ASSERT_EQ(lookup == SectionDirectory::Lookup::kFound, !expected->isPlaceholder());
    if (expected->isPlaceholder()) continue;
    EXPECT_EQ(child.name(), expected->name());
    for (const char* valueName : valueNames) {
      SCOPED_TRACE(valueName);
      const ConfigValue* value = expected->valueByName(valueName);
      EXPECT_EQ(child.hasValue(valueName), !value->isPlaceholder());
      EXPECT_EQ(child.getInt(valueName), value->getInt());
      EXPECT_EQ(child.getString(valueName), value->getString());
    }
  }
}

// A section gets a directory only when each of its children reads the same from its lines.
TEST(SectionDirectoryTest, SectionsThatDoNotReadAsPlainChildrenGetNone) {
  const std::string user = "        { u:\r\n            (string)Password=p\r\n        } u;\r\n";
  const std::string padding = "        { pad:\r\n            (string)Password=x\r\n        } pad;\r\n";
  const struct {
    const char* what;
    std::string staff;  // the lines of authority Staff
    bool directory;
  } rows[] = {
      {"plain users", user + padding, true},
      {"a repeated user (its lines merge into one)", user + padding + user, false},
      {"a user repeated in other case",
       user + padding + "        { U:\r\n            (string)MapTo=x\r\n        } U;\r\n", false},
      {"an empty repeat", user + padding + "        { U:\r\n        } U;\r\n", false},
      {"a value of the authority's own", "        (int)ExpirationRequired=1\r\n" + user, false},
      {"a section inside a user",
       "        { u:\r\n            { inner:\r\n            } inner;\r\n        } u;\r\n" + padding,
       false},
      // Read alike: they differ only in how a save writes them.
      {"lines ending in LF alone", "        { u:\n            (string)Password=p\n        } u;\n" +
                                       padding,
       true},
      {"lines the reader ignores",
       "        { u:\r\n            ; a comment\r\n            (string)expiredate=\r\n"
       "            } other;\r\n            (string)Password=p\r\n        } u;\r\n" + padding,
       true},
      {"a binary block in a user",
       "        { u:\r\n            [ b:\r\n            41\r\n            ] b;\r\n        } u;\r\n" +
           padding,
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const auto source =
        sourceOf("{ ACCOUNTS:\r\n    { Staff:\r\n" + row.staff + "    } Staff;\r\n} ACCOUNTS;\r\n");
    const std::string image = imageOf(source->text(), 1);
    const auto kept = readTree(source, 1);
    const ConfigSection* staff = kept->sectionByName("ACCOUNTS")->sectionByName("Staff");
    ASSERT_TRUE(staff->keptAsText());
    EXPECT_EQ(SectionDirectories(image, source->text()).forSection(*staff) != nullptr,
              row.directory);
  }
}

// A large section kept as text is written child by child from its lines, never parsed whole:
// the text written is what writing the parsed section writes.
TEST(SectionDirectoryTest, AKeptSectionWritesWhatItsParsedSectionWrites) {
  const std::string plain = "        { a:\r\n            (string)Password=p\r\n        } a;\r\n";
  const struct {
    const char* what;
    std::string staff;
  } rows[] = {
      {"plain users", plain + "        { b:\r\n            (int)disabled=1\r\n        } b;\r\n"},
      {"lines ending in LF alone", plain + "        { b:\n            (int)disabled=1\n        } b;\n"},
      {"lines the reader ignores and numbers written otherwise",
       plain + "        { b:\r\n            (string)expiredate=\r\n            ; note\r\n"
               "            (int)disabled=0x10\r\n        } b;\r\n"},
      {"indented otherwise", plain + "  { b:\r\n  (int)disabled=1\r\n  } b;\r\n"},
      {"a tagged user", plain + "        { b: {1F}\r\n            (int)disabled=1\r\n        } b;\r\n"},
      {"a repeated user", plain + plain},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const auto source = sourceOf("{ MAIN:\r\n    (string)log=x\r\n} MAIN;\r\n{ ACCOUNTS:\r\n"
                                 "    { Staff:\r\n" + row.staff + "    } Staff;\r\n} ACCOUNTS;\r\n");
    const auto kept = readTree(source, 1);
    ASSERT_TRUE(kept->sectionByName("ACCOUNTS")->sectionByName("Staff")->keptAsText());
    const auto parsed = readTree(source, 0);
    EXPECT_EQ(written(*kept), written(*parsed));
  }
}

// An image cut short or pointing outside its text reads as no directories at all.
TEST(SectionDirectoryTest, AMalformedImageReadsAsNone) {
  ConfigSection root(nullptr);
  ConfigSection* users = root.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
  for (int i = 0; i < 20; ++i) {
    std::string name = "u";
    name += std::to_string(i);
    users->getOrCreateSection(name.c_str())->setString("Password", "p");
  }
  const auto source = sourceOf(written(root));
  const std::string image = imageOf(source->text(), 1);
  ASSERT_FALSE(SectionDirectories(image, source->text()).empty());
  for (size_t cut : {size_t{0}, size_t{8}, size_t{20}, size_t{48}, image.size() / 2,
                     image.size() - 8}) {
    SCOPED_TRACE(cut);
    const std::string shorter = image.substr(0, cut);
    EXPECT_TRUE(SectionDirectories(shorter, source->text()).empty());
  }
  // The same image over a shorter text: its sections lie outside it.
  const std::string_view shortText = source->text().substr(0, source->text().size() / 2);
  EXPECT_TRUE(SectionDirectories(image, shortText).empty());
}

}  // namespace
}  // namespace gatekeeper
