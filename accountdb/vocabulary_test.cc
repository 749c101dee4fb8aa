// Value readers, binding keys, storable names, event ids and event suppression.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "accountdb/binding_key.h"
#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/event_suppression.h"
#include "accountdb/storable_text.h"
#include "accountdb/value_readers.h"
#include "configstore/config_section.h"

namespace gatekeeper::accountdb {
namespace {

TEST(ValueReadersTest, FlagIsTheFirstIntItem) {
  ConfigSection user("john");
  user.setInt(kDisabled, 2);
  user.addStringItem(kDoNotMap, nullptr, "1");  // a flag written as text is unset
  user.addStringItem(kNoExpiration, nullptr, "1");
  user.addIntItem(kNoExpiration, nullptr, 1);  // the int item decides, wherever it stands
  user.setInt("Zero", 0);
  user.createSection("Sub");

  EXPECT_TRUE(readFlag(user, kDisabled));
  EXPECT_TRUE(readFlag(user, "DISABLED"));
  EXPECT_FALSE(readFlag(user, kDoNotMap));
  EXPECT_TRUE(readFlag(user, kNoExpiration));
  EXPECT_FALSE(readFlag(user, "Zero"));
  EXPECT_FALSE(readFlag(user, "Missing"));
  EXPECT_FALSE(readFlag(user, "Sub"));  // a section is not a value
}

TEST(ValueReadersTest, TextIsTheFirstStringItem) {
  ConfigSection user("john");
  user.setString(kPassword, "Secret");
  user.addIntItem(kMapTo, nullptr, 5);
  user.addStringItem(kMapTo, nullptr, "guest");
  user.addStringItem(kMapTo, nullptr, "other");
  user.setInt(kExpireDate, 3152001);

  EXPECT_STREQ(readText(user, "password"), "Secret");
  EXPECT_STREQ(readText(user, kMapTo), "guest");
  EXPECT_STREQ(readText(user, kExpireDate), "");
  EXPECT_STREQ(readText(user, "Missing"), "");
}

TEST(ValueReadersTest, MissingBranchReadsUnsetAndEmpty) {
  ConfigSection root;
  const ConfigSection* main = root.sectionByName(kMain);
  EXPECT_FALSE(readFlag(*main, kDisable));
  EXPECT_STREQ(readText(*main, kLog), "");
  const ConfigSection* user =
      root.sectionByName(kAccounts)->sectionByName("Staff")->sectionByName("john");
  EXPECT_STREQ(readText(*user, kPassword), "");
  EXPECT_FALSE(readFlag(*user, kDisabled));
}

TEST(BindingKeyTest, PortSuffixUnlessEighty) {
  EXPECT_EQ(bindingKey("intranet", "80"), "intranet");
  EXPECT_EQ(bindingKey("intranet", nullptr), "intranet");
  EXPECT_EQ(bindingKey("intranet", "8080"), "intranet|8080");
  EXPECT_EQ(bindingKey("10.0.0.1", "443"), "10.0.0.1|443");
  // The text decides, not the number.
  EXPECT_EQ(bindingKey("intranet", "080"), "intranet|080");
  EXPECT_EQ(bindingKey("intranet", ""), "intranet|");
  EXPECT_EQ(bindingKey("", "80"), "");
  EXPECT_EQ(bindingKey("", "81"), "|81");
}

TEST(EventIdsTest, TableHasEveryIdOnceInCheckingOrder) {
  const std::int32_t order[kEventTypeCount] = {2, 10, 11, 12, 13, 3, 14, 7,
                                               4, 5,  15, 6,  16, 8, 9,  0};
  std::set<std::int32_t> seen;
  for (int i = 0; i < kEventTypeCount; ++i) {
    const EventType& row = EventTypeTable[i];
    EXPECT_EQ(row.id, order[i]);
    EXPECT_TRUE(seen.insert(row.id).second);
    EXPECT_NE(row.name[0], '\0');
    EXPECT_LT(std::strlen(row.name), sizeof row.name);
    EXPECT_STREQ(eventTypeName(row.id), row.name);
    EXPECT_STRNE(eventDescription(row.id), "") << row.id;
  }
  EXPECT_EQ(sizeof(EventType), 68u);
  EXPECT_STREQ(eventTypeName(kEventSiteNotHandled), "Site not handled");
  EXPECT_STREQ(eventDescription(kEventAuthorityNotFound),
               "User data base for this site not found (Binding UserDB)");
  EXPECT_STREQ(eventDescription(1), "");
  EXPECT_STREQ(eventTypeName(1), "");
  EXPECT_STREQ(eventDescription(17), "");
  EXPECT_STREQ(eventDescription(-1), "");
}

TEST(EventSuppressionTest, OnlyAPositiveIntItemSuppresses) {
  ConfigSection database;
  ConfigSection* dontLog = database.getOrCreateSection(kMain)->getOrCreateSection(kDontLog);
  ConfigValue* events = dontLog->getOrCreateValue(kEvent);
  events->addIntItem("0", 1);
  events->addIntItem("12", 0);
  events->addIntItem("13", -1);
  events->addStringItem("14", "1");
  events->addIntItem("7", 3);
  events->addStringItem("15", "x");  // a later int item of the same name still counts
  events->addIntItem("15", 1);

  EXPECT_TRUE(isEventSuppressed(database, kEventAuthenticated));
  EXPECT_TRUE(isEventSuppressed(database, kEventNotMapped));
  EXPECT_TRUE(isEventSuppressed(database, kEventDateAfter2037));
  EXPECT_FALSE(isEventSuppressed(database, kEventSiteNotHandled));
  EXPECT_FALSE(isEventSuppressed(database, kEventAuthorityNotFound));
  EXPECT_FALSE(isEventSuppressed(database, kEventAccountDisabled));
  EXPECT_FALSE(isEventSuppressed(database, kEventFilterDisabled));  // no item
  EXPECT_FALSE(isEventSuppressed(ConfigSection(), kEventAuthenticated));  // no DONTLOG

  // Read once, the same answers, for ids written otherwise too ("08" is not the id 8).
  events->addIntItem("08", 1);
  events->addIntItem("-2", 1);
  events->addIntItem("x9", 1);
  const SuppressedEvents once(database);
  for (int32_t id = -5; id <= 20; ++id) {
    SCOPED_TRACE(id);
    EXPECT_EQ(once.contains(id), isEventSuppressed(database, id));
  }
  EXPECT_TRUE(once.contains(-2));
  EXPECT_FALSE(once.contains(8));
  EXPECT_FALSE(SuppressedEvents(ConfigSection()).contains(kEventAuthenticated));
}

TEST(StorableTextTest, NamesAndTextsThatReadBackUnchanged) {
  for (const char* name : {"", "john", "Jörg Müller", "a b", "x|8080", "192.168.0.1", "a/b\\c"}) {
    EXPECT_TRUE(isStorableName(name)) << name;
  }
  for (const char* name : {"a:b", "a;b", "a=b", "a[b", "a]b", "a\rb", "a\nb", " lead", "\tlead",
                           "trail ", "trail\t", "a\vb", "a\fb", "a\x85", "\x80x", "a\x9f",
                           "a\x7f", "a\x01", "a\x1b" "b"}) {
    EXPECT_FALSE(isStorableName(name)) << name;
  }
  EXPECT_FALSE(isStorableName(std::string("a\0b", 3)));
  // Latin-1 letters and signs around the C1 range stay names.
  EXPECT_TRUE(isStorableName("\xa0x\xff\xe9"));
  EXPECT_TRUE(isStorableBindingHost("intranet.example"));
  EXPECT_FALSE(isStorableBindingHost("intranet|8080"));
  EXPECT_FALSE(isStorableBindingHost("intranet "));
  EXPECT_TRUE(isStorableName(std::string(1023, 'n')));
  EXPECT_FALSE(isStorableName(std::string(1024, 'n')));

  for (const char* text : {"", "p:a;s=s[]", " leading blank", "\t"}) EXPECT_TRUE(isStorableText(text));
  for (const char* text : {"a\nb", "a\rb", "\n"}) EXPECT_FALSE(isStorableText(text));
  EXPECT_FALSE(isStorableText(std::string(1024, 'p')));
}

}  // namespace
}  // namespace gatekeeper::accountdb
