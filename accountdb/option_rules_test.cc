// The rules for the options in MAIN: what is stored and in which form, what is left alone, the
// refusals that change nothing, and the suppressed events read back in table order.
#include "accountdb/option_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/value_readers.h"

namespace gatekeeper::accountdb {
namespace {

// The Event items of MAIN/DONTLOG as "name=value " in item order.
std::string eventItems(const ConfigSection& database) {
  const ConfigValue* events =
      database.sectionByName(kMain)->sectionByName(kDontLog)->valueByName(kEvent);
  std::string text;
  for (int32_t i = 1; i <= events->count(); ++i) {
    text += std::string(events->itemByIndex(i)->name()) + "=" +
            std::to_string(events->itemByIndex(i)->getInt()) + " ";
  }
  return text;
}

TEST(OptionRulesTest, GeneralOptionsStoreOnlyWhatIsGiven) {
  ConfigSection root("");
  ASSERT_EQ(storeGeneralOptions(root, {true, std::nullopt}), OptionRefusal::kNone);  // makes MAIN
  const ConfigSection& main = *root.sectionByName(kMain);
  EXPECT_EQ(main.valueByName(kDisable)->getInt(), 1);
  EXPECT_TRUE(main.valueByName(kLog)->isPlaceholder());
  ASSERT_EQ(storeGeneralOptions(root, {std::nullopt, std::string("C:\\logs\\sentry.log")}),
            OptionRefusal::kNone);
  EXPECT_EQ(main.valueByName(kDisable)->getInt(), 1);
  EXPECT_STREQ(readText(main, kLog), "C:\\logs\\sentry.log");
  ASSERT_EQ(storeGeneralOptions(root, {false, std::string()}), OptionRefusal::kNone);
  EXPECT_EQ(main.valueByName(kDisable)->getInt(), 0);
  EXPECT_FALSE(main.valueByName(kLog)->isPlaceholder());
  EXPECT_STREQ(readText(main, kLog), "");

  // A Disable written as the string 1 keeps it and gets an int beside it.
  ConfigSection byHand("");
  byHand.getOrCreateSection(kMain)->setString(kDisable, "1");
  ASSERT_EQ(storeGeneralOptions(byHand, {true, std::nullopt}), OptionRefusal::kNone);
  const ConfigValue& disable = *byHand.sectionByName(kMain)->valueByName(kDisable);
  EXPECT_EQ(disable.count(), 2);
  EXPECT_STREQ(disable.getString(), "1");
  EXPECT_EQ(disable.getInt(), 1);
}

TEST(OptionRulesTest, GeneralOptionsRefusalsChangeNothing) {
  struct Case {
    const char* layout;  // what is in the way
    GeneralOptions options;
    OptionRefusal refusal;
    const char* words;
  };
  const Case cases[] = {
      {"", {true, std::string("a\nb")}, OptionRefusal::kUnstorableLogFile,
       "Log file can not be stored - it contains a line break or is too long !"},
      {"", {true, std::string(1024, 'x')}, OptionRefusal::kUnstorableLogFile,
       "Log file can not be stored - it contains a line break or is too long !"},
      {"main value", {true, std::nullopt}, OptionRefusal::kNoMainSection,
       "Internal error - can not add section MAIN !"},
      {"log section", {true, std::string("x")}, OptionRefusal::kValueInTheWay,
       "Internal error - can not store the general options !"},
      {"disable section", {true, std::nullopt}, OptionRefusal::kValueInTheWay,
       "Internal error - can not store the general options !"},
  };
  for (const Case& c : cases) {
    ConfigSection root("");
    const std::string layout = c.layout;
    if (layout == "main value") root.setString(kMain, "x");
    if (layout == "log section") root.getOrCreateSection(kMain)->getOrCreateSection(kLog);
    if (layout == "disable section") root.getOrCreateSection(kMain)->getOrCreateSection(kDisable);
    const int children = root.sectionByName(kMain)->count();
    EXPECT_EQ(storeGeneralOptions(root, c.options), c.refusal) << c.layout;
    EXPECT_EQ(optionRefusalText(c.refusal), c.words);
    EXPECT_EQ(root.sectionByName(kMain)->count(), children) << c.layout;
  }
  // Only the values given are checked: a section Disable does not stop a new log path.
  ConfigSection root("");
  root.getOrCreateSection(kMain)->getOrCreateSection(kDisable);
  EXPECT_EQ(storeGeneralOptions(root, {std::nullopt, std::string("x")}), OptionRefusal::kNone);
}

TEST(OptionRulesTest, EventSuppressionReplacesDontLogInTableOrder) {
  ConfigSection root("");
  ASSERT_EQ(storeEventSuppression(root, [](std::int32_t id) { return id == 0 || id == 10; }),
            OptionRefusal::kNone);
  EXPECT_EQ(eventItems(root), "2=0 10=1 11=0 12=0 13=0 3=0 14=0 7=0 4=0 5=0 15=0 6=0 16=0 8=0 "
                              "9=0 0=1 ");
  EXPECT_EQ(suppressedEvents(root), (std::vector<std::int32_t>{10, 0}));
  // What was there before is replaced whole, the value's own name included.
  root.sectionByName(kMain)->sectionByName(kDontLog)->setString("Note", "x");
  ASSERT_EQ(storeEventSuppression(root, [](std::int32_t id) { return id == 12 ? 5 : 0; }),
            OptionRefusal::kNone);
  EXPECT_TRUE(root.sectionByName(kMain)->sectionByName(kDontLog)->valueByName("Note")
                  ->isPlaceholder());
  EXPECT_EQ(suppressedEvents(root), (std::vector<std::int32_t>{12}));
  ASSERT_EQ(storeEventSuppression(root, [](std::int32_t) { return 0; }), OptionRefusal::kNone);
  EXPECT_TRUE(suppressedEvents(root).empty());

  // A value in the way of MAIN or DONTLOG: refused, and nothing is made.
  ConfigSection mainValue("");
  mainValue.setString(kMain, "x");
  EXPECT_EQ(storeEventSuppression(mainValue, [](std::int32_t) { return 1; }),
            OptionRefusal::kNoMainSection);
  EXPECT_EQ(mainValue.count(), 1);
  ConfigSection dontLogValue("");
  dontLogValue.getOrCreateSection(kMain)->setString(kDontLog, "x");
  EXPECT_EQ(storeEventSuppression(dontLogValue, [](std::int32_t) { return 1; }),
            OptionRefusal::kNoDontLogSection);
  EXPECT_EQ(dontLogValue.sectionByName(kMain)->count(), 1);
  EXPECT_EQ(optionRefusalText(OptionRefusal::kNoDontLogSection),
            "Internal error - can not add section DONTLOG !");
}

}  // namespace
}  // namespace gatekeeper::accountdb
