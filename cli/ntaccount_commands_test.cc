// The NT account commands on a scratch database: the listing with the users mapped to each
// account, adding, changing the password and deleting with what is saved, the pages' refusals,
// and the password that every add and passwd needs.
#include "cli/ntaccount_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accountdb/value_readers.h"
#include "cli/cli_test_support.h"
#include "platform/scratch_directory.h"

namespace gatekeeper::cli {
namespace {

using accountdb::readText;

class NtAccountCommandsTest : public ::testing::Test, public CliTest {
 protected:
  ConfigSection* savedAccount(const char* name) {
    return saved().sectionByName("NTACCOUNTS")->sectionByName(name);
  }
  std::string savedAccounts() {
    const ConfigSection* accounts = saved().sectionByName("NTACCOUNTS");
    std::string names;
    for (int32_t slot = 1; slot <= accounts->count(); ++slot) {
      const ConfigSection* account = accounts->sectionByIndex(slot);
      if (!account->isPlaceholder()) names += std::string(account->name()) + " ";
    }
    return names;
  }
};

TEST_F(NtAccountCommandsTest, ListCountsTheMappedUsersAndShowsNoPassword) {
  // John is mapped to webuser; mary names nothing and is not mapped.
  const RunOutput text = run({"ntaccount", "list"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out,
            "NT account  Mapped users\n"
            "webuser     1\n"
            "guest       0\n");
  const RunOutput json = run({"ntaccount", "list", "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out,
            "[\n"
            "  {\"name\": \"webuser\", \"mappedUsers\": 1},\n"
            "  {\"name\": \"guest\", \"mappedUsers\": 0}\n"
            "]\n");
  ASSERT_EQ(run({"ntaccount", "del", "webuser"}).status, 0);
  ASSERT_EQ(run({"ntaccount", "del", "guest"}).status, 0);
  EXPECT_EQ(run({"ntaccount", "list", "--json"}).out, "[]\n");
  EXPECT_EQ(run({"ntaccount", "list"}).out, "NT account  Mapped users\n");
}

TEST_F(NtAccountCommandsTest, RefusalsInThePagesWordsStoreNothing) {
  struct Case {
    std::vector<std::string> arguments;
    std::string input;
    const char* err;
  };
  const Case cases[] = {
      {{"ntaccount", "add", "", "--password-stdin"}, "pw\n", "User name not specified !\n"},
      {{"ntaccount", "add", "ops:team", "--password-stdin"}, "pw\n",
       "User name contains characters that can not be stored !\n"},
      {{"ntaccount", "add", "ops\x1b[2J", "--password-stdin"}, "pw\n",
       "User name contains characters that can not be stored !\n"},
      {{"ntaccount", "add", "ops", "--password-stdin"}, "a\rb\n",
       "Password can not contain line breaks !\n"},
      {{"ntaccount", "add", "ops", "--password-stdin"}, std::string(1024, 'x') + "\n",
       "Password is too long to be stored !\n"},
      {{"ntaccount", "add", "WEBUSER", "--password-stdin"}, "pw\n", "Account allready exist !\n"},
      {{"ntaccount", "passwd", "nobody", "--password-stdin"}, "pw\n", "User name not found !\n"},
      {{"ntaccount", "passwd", "guest", "--password-stdin"}, "a\rb",
       "Password can not contain line breaks !\n"},
      {{"ntaccount", "del", "nobody"}, "", "User name not found !\n"},
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

TEST_F(NtAccountCommandsTest, AddPasswdAndDeleteStoreAsThePagesDo) {
  RunOutput result = run({"ntaccount", "del", "WebUser"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Account deleted.\n");
  // John keeps his mapping, as with the delete page, and is named.
  EXPECT_EQ(result.err,
            "Warning: the users mapped to NT account webuser will not be able to log on unless "
            "you change their mapping: Staff/John\n");
  EXPECT_STREQ(readText(*savedUser("Staff", "John"), "MapTo"), "webuser");
  EXPECT_EQ(savedAccounts(), "guest ");

  // The password is stored as given, blanks included.
  result = run({"ntaccount", "add", "ops", "--password-stdin"}, "s3cret word\r\nnext\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "NT Account ops added successfuly. \n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(savedAccounts(), "guest ops ");
  EXPECT_STREQ(savedAccount("ops")->valueByName("Password")->name(), "Password");
  EXPECT_STREQ(readText(*savedAccount("ops"), "Password"), "s3cret word");

  // An empty password is a password.
  result = run({"ntaccount", "passwd", "OPS", "--password-stdin"}, "\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Password of NT Account ops changed successfuly. \n");
  EXPECT_STREQ(readText(*savedAccount("ops"), "Password"), "");

  // Deleting an account nobody is mapped to warns of nothing.
  result = run({"ntaccount", "del", "guest"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(savedAccounts(), "ops ");
}

TEST_F(NtAccountCommandsTest, PasswordIsAlwaysNeeded) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> typed;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {{"ntaccount", "add", "ops"}, {"typed", "typed"}, 0, ""},
      {{"ntaccount", "add", "eve"}, {"one", "two"}, 1, "gatekeeper: the passwords do not match\n"},
      {{"ntaccount", "passwd", "guest"}, {"again", "again"}, 0, ""},
      {{"ntaccount", "passwd", "webuser"}, {"one"}, 1, "gatekeeper: no password was typed\n"},
  };
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments, "", c.typed);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.err, c.err);
  }
  EXPECT_STREQ(readText(*savedAccount("ops"), "Password"), "typed");
  EXPECT_STREQ(readText(*savedAccount("guest"), "Password"), "again");
  EXPECT_STREQ(readText(*savedAccount("webuser"), "Password"), "nt");
  EXPECT_TRUE(savedAccount("eve")->isPlaceholder());
  // Without a terminal the password must come with --password-stdin.
  for (const char* command : {"add", "passwd"}) {
    const RunOutput piped = run({"ntaccount", command, "guest"}, "pw\n");
    EXPECT_EQ(piped.status, 2);
    EXPECT_EQ(piped.err.find("gatekeeper: a password is needed"), 0u);
  }
  EXPECT_STREQ(readText(*savedAccount("guest"), "Password"), "again");
}

}  // namespace
}  // namespace gatekeeper::cli
