// The user commands on a scratch database: listings as text and JSON, adding, changing and
// deleting with what is saved, the pages' refusals and warnings, and the password read from
// standard input or typed twice on a terminal.
#include "cli/user_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accountdb/value_readers.h"
#include "cli/cli_test_support.h"
#include "platform/scratch_directory.h"

namespace gatekeeper::cli {
namespace {

using accountdb::readFlag;
using accountdb::readText;

class UserCommandsTest : public ::testing::Test, public CliTest {};

TEST_F(UserCommandsTest, ListAndShow) {
  struct Case {
    std::vector<std::string> arguments;
    const char* out;
  };
  const Case cases[] = {
      {{"user", "list", "staff"},
       "Username  Mapped  NT account  Expire date  No expiration  Disabled\n"
       "John      Yes     webuser     -            No             No\n"
       "mary      No      -           12/31/2037   No             Yes\n"},
      {{"user", "list", "Staff", "--json"},
       "[\n"
       "  {\"name\": \"John\", \"mapped\": true, \"ntAccount\": \"webuser\", \"expireDate\": \"\", "
       "\"noExpiration\": false, \"disabled\": false},\n"
       "  {\"name\": \"mary\", \"mapped\": false, \"ntAccount\": \"\", \"expireDate\": "
       "\"12/31/2037\", \"noExpiration\": false, \"disabled\": true}\n"
       "]\n"},
      {{"user", "show", "Staff", "JOHN"},
       "Authority:      Staff\n"
       "Username:       John\n"
       "Mapped:         Yes\n"
       "NT account:     webuser\n"
       "Expire date:    -\n"
       "No expiration:  No\n"
       "Disabled:       No\n"
       "Password:       set\n"},
      {{"user", "show", "Staff", "mary", "--json"},
       "{\"name\": \"mary\", \"mapped\": false, \"ntAccount\": \"\", \"expireDate\": "
       "\"12/31/2037\", \"noExpiration\": false, \"disabled\": true, \"passwordSet\": true}\n"},
  };
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
  }
  // An authority without users lists the header alone, or an empty array.
  ASSERT_EQ(run({"user", "del", "Staff", "John"}).status, 0);
  ASSERT_EQ(run({"user", "del", "Staff", "mary"}).status, 0);
  EXPECT_EQ(run({"user", "list", "Staff", "--json"}).out, "[]\n");
  EXPECT_EQ(run({"user", "list", "Staff"}).out,
            "Username  Mapped  NT account  Expire date  No expiration  Disabled\n");
}

TEST_F(UserCommandsTest, RefusalsInThePagesWordsStoreNothing) {
  struct Case {
    std::vector<std::string> arguments;
    std::string input;
    const char* err;
  };
  const Case cases[] = {
      {{"user", "list", "Nope"}, "", "Authority Nope not found !\n"},
      {{"user", "show", "Nope", "John"}, "", "Authority Nope not found !\n"},
      {{"user", "show", "Staff", "bob"}, "", "User bob does not exist in authority Staff\n"},
      {{"user", "add", "Nope", "bob", "--no-map"}, "", "Authority Nope not found !\n"},
      {{"user", "add", "Staff", "", "--no-map"}, "", "User name can not be empty !\n"},
      {{"user", "add", "Staff", "JOHN", "--no-map"}, "",
       "User JOHN already exist in authority Staff\n"},
      {{"user", "add", "Staff", "expirationrequired", "--no-map"}, "",
       "User expirationrequired already exist in authority Staff\n"},
      {{"user", "add", "Staff", "bo:b", "--no-map"}, "",
       "User name contains characters that can not be stored !\n"},
      {{"user", "add", "Staff", "bob\x1b[2J", "--no-map"}, "",
       "User name contains characters that can not be stored !\n"},
      {{"user", "add", "Staff", "bob", "--map-to", "guest", "--password-stdin"}, "a\rb\n",
       "Password can not contain line breaks !\n"},
      {{"user", "add", "Staff", "bob", "--map-to", "guest", "--password-stdin"},
       std::string(1024, 'x') + "\n", "Password is too long to be stored !\n"},
      {{"user", "set", "Nope", "John", "--disabled"}, "", "Authority Nope not found !\n"},
      {{"user", "set", "Staff", "bob", "--disabled"}, "",
       "User bob does not exist in authority Staff\n"},
      {{"user", "set", "Staff", "John", "--password-stdin"}, "a\rb",
       "Password can not contain line breaks !\n"},
      {{"user", "del", "Nope", "John"}, "", "Authority Nope not found !\n"},
      {{"user", "del", "Staff", "ExpirationRequired"}, "",
       "User ExpirationRequired does not exist in authority Staff\n"},
      {{"user", "del", "Staff", "bob"}, "", "User bob does not exist in authority Staff\n"},
  };
  const std::string before = platform::readWholeFile(databasePath());
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments, c.input);
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
}

TEST_F(UserCommandsTest, AddStoresTheEntryAsThePagesDo) {
  const RunOutput added =
      run({"user", "add", "Staff", "bob", "--password-stdin", "--map-to", "guest", "--expires",
           "3/15/2030", "--no-expiration", "--disabled"},
          "s3cret word\r\nnext line\n");
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "User bob added to authority Staff\n");
  EXPECT_EQ(added.err, "");
  const ConfigSection* bob = savedUser("Staff", "bob");
  EXPECT_STREQ(readText(*bob, "Password"), "s3cret word");
  EXPECT_FALSE(readFlag(*bob, "DoNotMap"));
  EXPECT_STREQ(readText(*bob, "MapTo"), "guest");
  EXPECT_STREQ(readText(*bob, "expiredate"), "3/15/2030");
  EXPECT_TRUE(readFlag(*bob, "noexpiration"));
  EXPECT_TRUE(readFlag(*bob, "disabled"));

  // Unmapped: no MapTo, and no password asked for.
  ASSERT_EQ(run({"user", "add", "Staff", "carol", "--no-map"}).status, 0);
  const ConfigSection* carol = savedUser("Staff", "carol");
  EXPECT_TRUE(readFlag(*carol, "DoNotMap"));
  EXPECT_TRUE(carol->valueByName("MapTo")->isPlaceholder());
  EXPECT_FALSE(readFlag(*carol, "disabled"));
  EXPECT_EQ(savedUsers(), "John mary bob carol ");
}

TEST_F(UserCommandsTest, WarningsAfterStoringAsThePagesWarn) {
  struct Case {
    std::vector<std::string> extra;
    const char* err;
  };
  const Case cases[] = {
      {{"--expires", "12/31/2037"}, ""},
      {{"--expires", "1/1/2038"},
       "Warning: Dates after year 2037 not supported - user authentication will fail if "
       "expiration is enabled !\n"},
      {{"--expires", "2038-01-01"},
       "Warning: Date format specified can not be recognized - user authentication will fail if "
       "expiration is enabled !\n"},
      {{"--map-to", "nobody"},
       "Warning: there is no NT account nobody - the filter refuses the user until it is "
       "added\n"},
  };
  int number = 0;
  for (const Case& c : cases) {
    const std::string name = "user" + std::to_string(number++);
    std::vector<std::string> arguments = {"user", "add", "Staff", name, "--password-stdin"};
    if (c.extra[0] != "--map-to") arguments.insert(arguments.end(), {"--map-to", "guest"});
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    RunOutput result = run(arguments, "pw\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, c.err);
    EXPECT_FALSE(savedUser("Staff", name.c_str())->isPlaceholder());
    // A change warns the same.
    result = run({"user", "set", "Staff", name, "--disabled"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, c.err);
  }
}

TEST_F(UserCommandsTest, SetChangesOnlyWhatItIsToldAndKeepsTheSlot) {
  struct Case {
    std::vector<std::string> options;
    std::string input;
    const char* password;
    bool mapped;
    const char* mapTo;
    const char* expires;
    bool noExpiration;
    bool disabled;
  };
  // Each case starts from the state the previous one left.
  const Case cases[] = {
      {{"--disabled"}, "", "old", true, "webuser", "", false, true},
      {{"--password-stdin", "--expires", "3/15/2030"}, "new\n", "new", true, "webuser",
       "3/15/2030", false, true},
      {{"--map-to", "guest", "--no-expiration", "--enabled"}, "", "new", true, "guest",
       "3/15/2030", true, false},
      {{"--no-map", "--no-expires"}, "", "new", false, "", "", true, false},
      {{"--expiration", "--map-to", "webuser"}, "", "new", true, "webuser", "", false, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"user", "set", "Staff", "john"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const RunOutput result = run(arguments, c.input);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "User John changed in authority Staff\n");
    const ConfigSection* john = savedUser("Staff", "John");
    EXPECT_STREQ(readText(*john, "Password"), c.password);
    EXPECT_EQ(!readFlag(*john, "DoNotMap"), c.mapped);
    EXPECT_STREQ(readText(*john, "MapTo"), c.mapTo);
    EXPECT_STREQ(readText(*john, "expiredate"), c.expires);
    EXPECT_EQ(readFlag(*john, "noexpiration"), c.noExpiration);
    EXPECT_EQ(readFlag(*john, "disabled"), c.disabled);
    // The stored name and place stay.
    EXPECT_EQ(savedUsers(), "John mary ");
  }
}

TEST_F(UserCommandsTest, DeleteRemovesTheUserOnly) {
  const RunOutput result = run({"user", "del", "Staff", "JOHN"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "User John deleted from authority Staff\n");
  EXPECT_EQ(savedUsers(), "mary ");
  EXPECT_TRUE(readFlag(*saved().sectionByName("ACCOUNTS")->sectionByName("Staff"),
                       "ExpirationRequired"));
}

TEST_F(UserCommandsTest, PasswordTypedTwiceOnATerminal) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> typed;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {{"user", "add", "Staff", "bob", "--map-to", "guest"}, {"typed", "typed"}, 0, ""},
      {{"user", "add", "Staff", "eve", "--map-to", "guest"}, {"one", "two"}, 1,
       "gatekeeper: the passwords do not match\n"},
      {{"user", "add", "Staff", "eve", "--map-to", "guest"}, {"one"}, 1,
       "gatekeeper: no password was typed\n"},
      {{"user", "set", "Staff", "mary", "--password"}, {"again", "again"}, 0, ""},
  };
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments, "", c.typed);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.err, c.err);
  }
  EXPECT_STREQ(readText(*savedUser("Staff", "bob"), "Password"), "typed");
  EXPECT_STREQ(readText(*savedUser("Staff", "mary"), "Password"), "again");
  EXPECT_TRUE(savedUser("Staff", "eve")->isPlaceholder());
  // Without a terminal the password must come with --password-stdin.
  const RunOutput piped = run({"user", "add", "Staff", "eve", "--map-to", "guest"}, "pw\n");
  EXPECT_EQ(piped.status, 2);
  EXPECT_EQ(piped.err.find("gatekeeper: a password is needed"), 0u);
  EXPECT_EQ(run({"user", "set", "Staff", "mary", "--password"}, "pw\n").status, 2);
  EXPECT_TRUE(savedUser("Staff", "eve")->isPlaceholder());
}

}  // namespace
}  // namespace gatekeeper::cli
