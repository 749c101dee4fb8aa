// The options commands on a scratch database: show as text and JSON, set storing what the
// general options and logging options pages store and leaving the rest, usage errors, and
// refusals that store nothing.
#include "cli/options_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accountdb/value_readers.h"
#include "cli/cli_test_support.h"
#include "platform/scratch_directory.h"

namespace gatekeeper::cli {
namespace {

class OptionsCommandsTest : public ::testing::Test, public CliTest {
 protected:
  ConfigSection& savedMain() { return *saved().sectionByName("MAIN"); }
  // The Event items of MAIN/DONTLOG as saved, "name=value " in item order.
  std::string savedEvents() {
    const ConfigValue* events = savedMain().sectionByName("DONTLOG")->valueByName("Event");
    std::string text;
    for (int32_t i = 1; i <= events->count(); ++i) {
      text += std::string(events->itemByIndex(i)->name()) + "=" +
              std::to_string(events->itemByIndex(i)->getInt()) + " ";
    }
    return text;
  }
};

TEST_F(OptionsCommandsTest, ShowAfterSet) {
  struct Case {
    std::vector<std::string> set;  // empty: nothing set yet
    const char* text;
    const char* json;
  };
  const Case cases[] = {
      {{},
       "Filter disabled:                     No\n"
       "Log file:                            -\n"
       "Store site users' passwords hashed:  No\n"
       "Suppressed events:                   -\n",
       "{\"disabled\": false, \"logFile\": \"\", \"hashPasswords\": false, \"suppressedEvents\": "
       "[]}\n"},
      {{"--disable", "--log", "C:\\logs\\sentry.log", "--suppress", "0,12", "--hash-passwords"},
       "Filter disabled:                     Yes\n"
       "Log file:                            C:\\x5clogs\\x5csentry.log\n"
       "Store site users' passwords hashed:  Yes\n"
       "Suppressed events:                   12 Site not handled\n"
       "                                     0 Authentication success\n",
       "{\"disabled\": true, \"logFile\": \"C:\\\\logs\\\\sentry.log\", \"hashPasswords\": true, "
       "\"suppressedEvents\": [{\"id\": 12, \"name\": \"Site not handled\"}, {\"id\": 0, "
       "\"name\": \"Authentication success\"}]}\n"},
      {{"--enable", "--log-all", "--plain-passwords"},
       "Filter disabled:                     No\n"
       "Log file:                            C:\\x5clogs\\x5csentry.log\n"
       "Store site users' passwords hashed:  No\n"
       "Suppressed events:                   -\n",
       "{\"disabled\": false, \"logFile\": \"C:\\\\logs\\\\sentry.log\", \"hashPasswords\": false, "
       "\"suppressedEvents\": []}\n"},
  };
  for (const Case& c : cases) {
    if (!c.set.empty()) {
      std::vector<std::string> arguments = {"options", "set"};
      arguments.insert(arguments.end(), c.set.begin(), c.set.end());
      const RunOutput set = run(arguments);
      ASSERT_EQ(set.status, 0) << set.err;
      EXPECT_EQ(set.out, "Options stored.\n");
    }
    EXPECT_EQ(run({"options", "show"}).out, c.text);
    EXPECT_EQ(run({"options", "show", "--json"}).out, c.json);
  }
}

TEST_F(OptionsCommandsTest, SetStoresAsThePagesAndLeavesTheRest) {
  ASSERT_EQ(run({"options", "set", "--suppress", "10,0,10"}).status, 0);
  // One item per event type, in the order of the logging options page.
  EXPECT_EQ(savedEvents(),
            "2=0 10=1 11=0 12=0 13=0 3=0 14=0 7=0 4=0 5=0 15=0 6=0 16=0 8=0 9=0 0=1 ");
  EXPECT_TRUE(savedMain().valueByName("Disable")->isPlaceholder());
  EXPECT_TRUE(savedMain().valueByName("log")->isPlaceholder());

  ASSERT_EQ(run({"options", "set", "--disable"}).status, 0);
  EXPECT_EQ(savedMain().valueByName("Disable")->getInt(), 1);
  EXPECT_TRUE(savedMain().valueByName("log")->isPlaceholder());
  EXPECT_EQ(savedEvents(),
            "2=0 10=1 11=0 12=0 13=0 3=0 14=0 7=0 4=0 5=0 15=0 6=0 16=0 8=0 9=0 0=1 ");

  ASSERT_EQ(run({"options", "set", "--log", "/var/log/sentry.log"}).status, 0);
  EXPECT_EQ(savedMain().valueByName("Disable")->getInt(), 1);
  EXPECT_STREQ(accountdb::readText(savedMain(), "log"), "/var/log/sentry.log");

  // An empty path means no log.
  ASSERT_EQ(run({"options", "set", "--log", "", "--enable"}).status, 0);
  EXPECT_EQ(savedMain().valueByName("Disable")->getInt(), 0);
  EXPECT_STREQ(accountdb::readText(savedMain(), "log"), "");
  EXPECT_FALSE(savedMain().sectionByName("SERVERS")->isPlaceholder());
  // The password storage is written only once turned on, and then kept as 1 or 0.
  EXPECT_TRUE(savedMain().valueByName("HashPasswords")->isPlaceholder());
  ASSERT_EQ(run({"options", "set", "--hash-passwords"}).status, 0);
  EXPECT_EQ(savedMain().valueByName("HashPasswords")->getInt(), 1);
  EXPECT_EQ(savedMain().valueByName("Disable")->getInt(), 0);
  ASSERT_EQ(run({"options", "set", "--plain-passwords"}).status, 0);
  EXPECT_EQ(savedMain().valueByName("HashPasswords")->getInt(), 0);
}

TEST_F(OptionsCommandsTest, UsageErrorsAndRefusalsStoreNothing) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    const char* errStart;
  };
  const Case cases[] = {
      {{"options", "set"}, 2, "gatekeeper: nothing to change\n"},
      {{"options", "set", "--disable", "--enable"}, 2, "gatekeeper: --enable and --disable"},
      {{"options", "set", "--hash-passwords", "--plain-passwords"}, 2,
       "gatekeeper: --plain-passwords and --hash-passwords exclude each other"},
      {{"options", "set", "--suppress", "1", "--log-all"}, 2,
       "gatekeeper: --log-all and --suppress"},
      {{"options", "set", "--disable", "--suppress", "1"}, 2,
       "gatekeeper: 1 is no event id (the ids are 0 and 2 to 16"},
      {{"options", "set", "--suppress", "0,17"}, 2, "gatekeeper: 17 is no event id"},
      {{"options", "set", "--suppress", "0,,2"}, 2, "gatekeeper:  is no event id"},
      {{"options", "set", "--suppress", "12x"}, 2, "gatekeeper: 12x is no event id"},
      {{"options", "set", "--suppress", "-0"}, 2, "gatekeeper: -0 is no event id"},
      {{"options", "set", "--disable", "--log", "a\nb"}, 1,
       "Log file can not be stored - it contains a line break or is too long !\n"},
  };
  const std::string before = platform::readWholeFile(databasePath());
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments);
    EXPECT_EQ(result.status, c.status) << c.errStart;
    EXPECT_EQ(result.err.rfind(c.errStart, 0), 0u) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);

  // A value DONTLOG in MAIN is in the way: the general options given with it are not stored.
  {
    ConfigFile database(databasePath().c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    database.sectionByName("MAIN")->setString("DONTLOG", "x");
    ASSERT_EQ(database.save(), 1);
  }
  const std::string withValue = platform::readWholeFile(databasePath());
  const RunOutput result = run({"options", "set", "--disable", "--log-all"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Internal error - can not add section DONTLOG !\n");
  EXPECT_EQ(platform::readWholeFile(databasePath()), withValue);
}

}  // namespace
}  // namespace gatekeeper::cli
