#include "configstore/config_section.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "configstore/handle_factory.h"

namespace gatekeeper {
namespace {

TEST(ConfigSectionTest, LookupsIgnoreCaseAndReturnPlaceholders) {
  ConfigSection root("root");
  root.getOrCreateSection("MAIN")->setString("log", "C:\\log.txt");
  root.getOrCreateSection("main");  // found, not created
  EXPECT_EQ(root.count(), 1);
  EXPECT_STREQ(root.sectionByName("main")->valueByName("LOG")->getString(), "C:\\log.txt");
  // Chained reads through missing branches give defaults.
  EXPECT_STREQ(root.sectionByName("MAIN")->sectionByName("SERVERS")->valueByName("x")->getString(),
               "");
  EXPECT_EQ(root.sectionByName("nothing")->valueByName("x")->getInt(), 0);
  EXPECT_EQ(root.sectionByName("nothing"), nullSection());
  EXPECT_TRUE(root.sectionByName("nothing")->isPlaceholder());
  EXPECT_EQ(root.sectionByName("MAIN")->sectionByName("log"), nullSection());
  EXPECT_EQ(root.valueByName("MAIN"), nullValue());
  EXPECT_EQ(root.valueByName("MAIN")->itemByIndex(1), nullItem());
  EXPECT_EQ(root.valueByIndex(7), nullValue());
  EXPECT_EQ(root.sectionByIndex(1)->valueByIndex(1)->itemByName("x"), nullItem());
}

TEST(ConfigSectionTest, PlaceholdersRefuseChanges) {
  EXPECT_EQ(nullSection()->setInt("x", 1), 0);
  EXPECT_EQ(nullSection()->getOrCreateSection("x"), nullptr);
  EXPECT_EQ(nullSection()->add(nullptr), 0);
  EXPECT_EQ(nullSection()->rename("x"), 0);
  EXPECT_EQ(nullValue()->setString("x"), 0);
  EXPECT_EQ(nullValue()->addIntItem(nullptr, 1), nullptr);
  EXPECT_EQ(nullItem()->changeType(kItemInt), 0);
  EXPECT_EQ(nullItem()->setFromInt(1), 0);
  nullSection()->setTextTag("t");
  EXPECT_EQ(nullSection()->count(), 0);
  EXPECT_EQ(nullValue()->count(), 0);
  EXPECT_EQ(nullSection()->tagKind(), kTagNone);
  EXPECT_FALSE(nullSection()->hasName());
  EXPECT_TRUE(nullItem()->isUntyped());
}

TEST(ConfigSectionTest, DeletedSlotIsReusedByTheNextChild) {
  ConfigSection root("root");
  root.setInt("a", 1);
  root.setInt("b", 2);
  root.setInt("c", 3);
  EXPECT_EQ(root.deleteByName("B"), 2);
  root.createSection("d");
  EXPECT_EQ(root.count(), 3);
  EXPECT_STREQ(root.getByIndex(2)->name(), "d");
  EXPECT_EQ(root.sectionByIndex(2), root.sectionByName("d"));
}

TEST(ConfigSectionTest, NamesHeldByTheOtherKindBlockCreation) {
  ConfigSection root("root");
  root.createSection("s")->createValue("v");
  EXPECT_EQ(root.getOrCreateValue("S"), nullptr);
  EXPECT_EQ(root.setInt("s", 1), 0);
  EXPECT_EQ(root.addStringItem("s", nullptr, "x"), nullptr);
  EXPECT_EQ(root.getOrCreateSection("v"), nullptr);
  EXPECT_EQ(root.count(), 2);
}

TEST(ConfigSectionTest, TypedItemsLiveSideBySide) {
  ConfigSection root("root");
  root.setString("port", "eighty");
  ConfigValue* port = root.valueByName("port");
  EXPECT_EQ(port->setInt(80), 1);
  EXPECT_EQ(port->count(), 2);
  EXPECT_STREQ(port->getString(), "eighty");
  EXPECT_EQ(port->getInt(), 80);
  EXPECT_EQ(port->getInt64(), 0);
  EXPECT_EQ(port->indexOfType(kItemInt), 2);
  EXPECT_EQ(port->indexOfType(kItemDouble), 0);
  port->setInt(81);  // updates, never appends a second int
  EXPECT_EQ(port->count(), 2);
  EXPECT_EQ(port->getInt(), 81);
  port->addIntItem("2", 82);  // appended: readers still see the first
  EXPECT_EQ(port->getInt(), 81);
  EXPECT_EQ(port->itemByName("2")->getInt(), 82);
  EXPECT_EQ(port->itemByIndex(3)->getString()[0], '\0');  // no conversion on reading
  root.setDouble("d", 2.5);
  root.setFloat("f", 1.5f);
  root.setInt64("i", -5000000000LL);
  EXPECT_EQ(root.valueByName("d")->getDouble(), 2.5);
  EXPECT_EQ(root.valueByName("f")->getFloat(), 1.5f);
  EXPECT_EQ(root.valueByName("i")->getInt64(), -5000000000LL);
  EXPECT_EQ(root.valueByName("missing")->getDouble(), 0.0);
  EXPECT_EQ(root.valueByName("missing")->getBinary(), nullptr);
}

TEST(ConfigSectionTest, SettersConvertIntoTheItemsOwnType) {
  ValueItem i(kItemInt);
  EXPECT_EQ(i.setFromString("42abc"), 1);
  EXPECT_EQ(i.getInt(), 42);
  i.setFromString("abc");
  EXPECT_EQ(i.getInt(), 0);
  i.setFromString("010");
  EXPECT_EQ(i.getInt(), 10);
  i.setFromDouble(-3.99);
  EXPECT_EQ(i.getInt(), -3);
  i.setFromInt64(0x100000005LL);
  EXPECT_EQ(i.getInt(), 5);
  ValueItem s(kItemString);
  s.setFromDouble(0.5);
  EXPECT_STREQ(s.getString(), "0.5");
  s.setFromInt64(-9000000000LL);
  EXPECT_STREQ(s.getString(), "-9000000000");
  s.setFromString(nullptr);
  EXPECT_STREQ(s.getString(), "0");
  s.setFromFloat(1e20f);
  EXPECT_STREQ(s.getString(), "1e+20");
  ValueItem d(kItemDouble);
  d.setFromString(" 2.5e2x");
  EXPECT_EQ(d.getDouble(), 250.0);
  d.setFromString("x");
  EXPECT_EQ(d.getDouble(), 0.0);
  ValueItem w(kItemInt64);
  w.setFromString("-9000000000");
  EXPECT_EQ(w.getInt64(), -9000000000LL);
  w.setFromInt(-1);
  EXPECT_EQ(w.getInt64(), -1);
  w.setFromFloat(2.75f);
  EXPECT_EQ(w.getInt64(), 2);
  ValueItem b(kItemBinary);
  EXPECT_EQ(b.setFromInt(1), 0);
  EXPECT_EQ(b.setString("x"), 0);
  EXPECT_EQ(w.changeType(kItemString), 1);
  EXPECT_STREQ(w.getString(), "");
  EXPECT_EQ(w.getInt64(), 0);
}

TEST(ConfigSectionTest, BinaryItemsResizeWithZeroFill) {
  ConfigSection root("root");
  const unsigned char bytes[] = {1, 2, 3};
  EXPECT_EQ(root.setBinary("key", bytes, 3), 1);
  ConfigValue* key = root.valueByName("key");
  key->setInt(7);
  ASSERT_EQ(key->binaryLength(), 3u);
  EXPECT_EQ(key->resizeBinary(5), 1);
  const unsigned char* data = key->getBinary();
  EXPECT_EQ(std::memcmp(data, "\x01\x02\x03\x00\x00", 5), 0);
  key->resizeBinary(2);
  EXPECT_EQ(key->binaryLength(), 2u);
  // setBinary replaces the first binary item in its slot.
  const unsigned char other[] = {9};
  key->setBinary(other, 1);
  EXPECT_EQ(key->count(), 2);
  EXPECT_EQ(key->itemByIndex(1)->type(), kItemBinary);
  EXPECT_EQ(key->getBinary()[0], 9);
  EXPECT_EQ(nullValue()->resizeBinary(3), 0);
}

TEST(ConfigSectionTest, FindValueByContent) {
  ConfigSection users("users");
  users.setString("a", "Alice");
  users.setInt("b", 0);
  users.setString("c", "bob");
  users.setInt("d", 7);
  users.setDouble("e", 1.25);
  users.setInt64("f", 1LL << 40);
  users.setFloat("g", 0.5f);
  EXPECT_STREQ(users.findValueByString("BOB")->name(), "c");
  EXPECT_EQ(users.findValueByString("nobody"), nullValue());
  // A node without a string item counts as holding "".
  EXPECT_STREQ(users.findValueByString("")->name(), "b");
  EXPECT_STREQ(users.findValueByInt(7)->name(), "d");
  EXPECT_STREQ(users.findValueByInt(0)->name(), "a");
  EXPECT_STREQ(users.findValueByDouble(1.25)->name(), "e");
  EXPECT_STREQ(users.findValueByInt64(1LL << 40)->name(), "f");
  EXPECT_STREQ(users.findValueByFloat(0.5f)->name(), "g");
}

class SectionsOnly : public NameComparator {
 public:
  int accept(const NamedObject* object) override {
    return static_cast<const ConfigNode*>(object)->isSection() ? 1 : 0;
  }
};

TEST(ConfigSectionTest, CloneAndFilteredCopyAreDeepAndIndependent) {
  ConfigSection root("root");
  ConfigSection* main = root.getOrCreateSection("MAIN");
  main->setHexTag(0x1F);
  main->setString("log", "x");
  main->addIntItem("port", "2", 8080);
  root.setInt("top", 1);
  root.deleteByName("nothing");
  ConfigSection* copy = root.clone();
  ASSERT_NE(copy, nullptr);
  root.sectionByName("MAIN")->setString("log", "changed");
  EXPECT_STREQ(copy->sectionByName("main")->valueByName("log")->getString(), "x");
  EXPECT_EQ(copy->sectionByName("main")->hexTag(), 0x1Fu);
  EXPECT_EQ(copy->sectionByName("main")->valueByName("port")->itemByName("2")->getInt(), 8080);
  copy->destroy();
  SectionsOnly selector;
  ConfigSection* filtered = root.filteredCopy(&selector);
  ASSERT_NE(filtered, nullptr);
  EXPECT_STREQ(filtered->name(), "root");
  EXPECT_EQ(filtered->count(), 1);
  EXPECT_EQ(filtered->valueByName("top"), nullValue());
  EXPECT_FALSE(filtered->sectionByName("MAIN")->isPlaceholder());
  filtered->destroy();
}

// An extension object counts its references, so the tests can see them taken and dropped.
class CountingExtension : public InterfaceExtension {
 public:
  int32_t interfaceRequests = 0;
  CommonHandle* getInterface(uint32_t) override {
    ++interfaceRequests;
    return nullptr;
  }
};

TEST(ConfigSectionTest, TagsAndTheAttachedExtension) {
  CountingExtension extension;
  {
    ConfigSection s("s");
    s.setTextTag("label");
    EXPECT_EQ(s.tagKind(), kTagText);
    EXPECT_STREQ(s.textTag(), "label");
    s.attachExtension(&extension);
    EXPECT_EQ(extension.refCount(), 1);
    ConfigSection* copy = s.clone();
    EXPECT_EQ(extension.refCount(), 2);
    EXPECT_EQ(getInterface(copy, 999), nullptr);
    EXPECT_EQ(extension.interfaceRequests, 1);
    copy->destroy();
    EXPECT_EQ(extension.refCount(), 1);
    s.setHexTag(5);  // replacing the tag drops the extension
    EXPECT_EQ(extension.refCount(), 0);
    EXPECT_EQ(s.hexTag(), 5u);
    EXPECT_STREQ(s.textTag(), "");
  }
  EXPECT_EQ(extension.refCount(), 0);
}

TEST(ConfigSectionTest, RenamingAChildKeepsLookupsCurrent) {
  ConfigSection users("users");
  for (int i = 0; i < 100; ++i) users.createSection(("user" + std::to_string(i)).c_str());
  ConfigSection* u7 = users.sectionByName("USER7");
  ASSERT_FALSE(u7->isPlaceholder());
  u7->rename("renamed");
  EXPECT_EQ(users.sectionByName("user7"), nullSection());
  EXPECT_EQ(users.sectionByName("Renamed"), u7);
  EXPECT_EQ(users.getOrCreateSection("user7") == u7, false);
  EXPECT_EQ(users.count(), 101);
}

}  // namespace
}  // namespace gatekeeper
