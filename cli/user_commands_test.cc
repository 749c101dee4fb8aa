// The user commands on a scratch database: listings as text and JSON, adding, changing and
// deleting with what is saved, the pages' refusals and warnings, and the password read from
// standard input or typed twice on a terminal.
#include "cli/user_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accountdb/value_readers.h"
#include "cli/cli_test_support.h"
#include "passhash/password_hash.h"
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
       "Password:       plain\n"},
      {{"user", "show", "Staff", "mary", "--json"},
       "{\"name\": \"mary\", \"mapped\": false, \"ntAccount\": \"\", \"expireDate\": "
       "\"12/31/2037\", \"noExpiration\": false, \"disabled\": true, \"passwordSet\": true, "
       "\"passwordStorage\": \"plain\", \"passwordVerifiable\": true}\n"},
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

TEST_F(UserCommandsTest, PasswordsStoredAsTheDatabaseAsks) {
  const std::string scheme = passhash::schemeName(passhash::defaultScheme());
  ASSERT_EQ(run({"options", "set", "--hash-passwords"}).status, 0);
  const RunOutput added =
      run({"user", "add", "Staff", "bob", "--map-to", "guest", "--password-stdin"}, "s3cret\n");
  ASSERT_EQ(added.status, 0) << added.err;
  const std::string hash = readText(*savedUser("Staff", "bob"), "Password");
  EXPECT_EQ(passhash::schemeOf(hash), passhash::defaultScheme()) << hash;
  EXPECT_TRUE(passhash::verifyPassword(hash, "s3cret"));
  // Shown by its scheme, never the hash itself; the listing shows no password at all.
  RunOutput shown = run({"user", "show", "Staff", "bob"});
  EXPECT_NE(shown.out.find("Password:       " + scheme + "\n"), std::string::npos) << shown.out;
  EXPECT_EQ(shown.out.find(hash), std::string::npos);
  shown = run({"user", "show", "Staff", "bob", "--json"});
  EXPECT_NE(shown.out.find("\"passwordSet\": true, \"passwordStorage\": \"" + scheme +
                           "\", \"passwordVerifiable\": true}"),
            std::string::npos)
      << shown.out;
  EXPECT_EQ(shown.out.find(hash), std::string::npos);
  for (const char* format : {"--json", ""}) {
    std::vector<std::string> arguments = {"user", "list", "Staff"};
    if (*format != '\0') arguments.push_back(format);
    EXPECT_EQ(run(arguments).out.find(hash), std::string::npos);
  }

  // A change without a password keeps the hash as it is, whether or not the option is on
  // now; a plain password stored before the option stays plain.
  for (const char* storage : {"--hash-passwords", "--plain-passwords"}) {
    ASSERT_EQ(run({"options", "set", storage}).status, 0);
    const RunOutput changed = run({"user", "set", "Staff", "bob", "--disabled"});
    ASSERT_EQ(changed.status, 0) << storage << changed.err;
    EXPECT_EQ(readText(*savedUser("Staff", "bob"), "Password"), hash) << storage;
    ASSERT_EQ(run({"user", "set", "Staff", "mary", "--enabled"}).status, 0);
    EXPECT_STREQ(readText(*savedUser("Staff", "mary"), "Password"), "pw") << storage;
  }
  // A new password while the option is off is stored plain.
  ASSERT_EQ(run({"user", "set", "Staff", "bob", "--password-stdin"}, "plain again\n").status, 0);
  EXPECT_STREQ(readText(*savedUser("Staff", "bob"), "Password"), "plain again");
  // And hashed while it is on; an empty one given on purpose is stored empty.
  ASSERT_EQ(run({"options", "set", "--hash-passwords"}).status, 0);
  ASSERT_EQ(run({"user", "set", "Staff", "bob", "--password-stdin"}, "next\n").status, 0);
  EXPECT_TRUE(passhash::verifyPassword(readText(*savedUser("Staff", "bob"), "Password"), "next"));
  ASSERT_EQ(run({"user", "set", "Staff", "bob", "--password-stdin"}, "\n").status, 0);
  EXPECT_STREQ(readText(*savedUser("Staff", "bob"), "Password"), "");
  EXPECT_NE(run({"user", "show", "Staff", "bob"}).out.find("Password:       none\n"),
            std::string::npos);

  // No password may look like a hash: it could never be told from one.
  const std::string before = platform::readWholeFile(databasePath());
  for (const char* command : {"add", "set"}) {
    const RunOutput refused =
        run({"user", command, "Staff", std::string(command) == "add" ? "carol" : "mary",
             "--map-to", "guest", "--password-stdin"},
            hash + "\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Password can not have the form of a password hash !\n");
  }
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
}

TEST_F(UserCommandsTest, ShowNotesAHashThisSystemCannotVerify) {
  const char* yescrypt = "$y$j9T$cX51ep3u3S3jKH9bDN7WV0$Y6XearS/oztaePzWy/c7m6my61ytEv.KlduVhBQDg/4";
  {
    ConfigFile database(databasePath().c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    database.sectionByName("ACCOUNTS")->sectionByName("Staff")->sectionByName("John")->setString(
        "Password", yescrypt);
    ASSERT_EQ(database.save(), 1);
  }
  const bool verifiable = passhash::canVerify(passhash::Scheme::kYescrypt);
  EXPECT_NE(run({"user", "show", "Staff", "John"})
                .out.find(verifiable ? "Password:       yescrypt\n"
                                     : "Password:       yescrypt (this system can not verify it: "
                                       "the filter refuses the user until a new password is set)\n"),
            std::string::npos);
  EXPECT_NE(run({"user", "show", "Staff", "John", "--json"})
                .out.find(std::string("\"passwordStorage\": \"yescrypt\", \"passwordVerifiable\": ") +
                          (verifiable ? "true" : "false")),
            std::string::npos);
}

TEST_F(UserCommandsTest, RehashHashesEveryPlainPassword) {
  ASSERT_EQ(run({"authority", "add", "Other"}).status, 0);
  ASSERT_EQ(run({"user", "add", "Other", "zed", "--map-to", "guest", "--password-stdin"}, "z\n")
                .status,
            0);
  ASSERT_EQ(run({"user", "add", "Other", "nopass", "--no-map"}).status, 0);
  // One authority; the option stays off, and a hash is never hashed again.
  RunOutput result = run({"user", "rehash", "staff"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Authority Staff: 2 passwords hashed\n");
  const std::string johnHash = readText(*savedUser("Staff", "John"), "Password");
  EXPECT_TRUE(passhash::verifyPassword(johnHash, "old"));
  EXPECT_TRUE(passhash::verifyPassword(readText(*savedUser("Staff", "mary"), "Password"), "pw"));
  EXPECT_STREQ(readText(*savedUser("Other", "zed"), "Password"), "z");
  EXPECT_TRUE(saved().sectionByName("MAIN")->valueByName("HashPasswords")->isPlaceholder());
  // Every authority; an empty password stays empty.
  result = run({"user", "rehash"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Authority Staff: 0 passwords hashed\nAuthority Other: 1 password hashed\n");
  EXPECT_EQ(readText(*savedUser("Staff", "John"), "Password"), johnHash);
  EXPECT_TRUE(passhash::verifyPassword(readText(*savedUser("Other", "zed"), "Password"), "z"));
  EXPECT_STREQ(readText(*savedUser("Other", "nopass"), "Password"), "");

  const std::string before = platform::readWholeFile(databasePath());
  result = run({"user", "rehash", "Nope"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Authority Nope not found !\n");
  EXPECT_EQ(run({"user", "rehash", "Staff", "Other"}).status, 2);
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
}

}  // namespace
}  // namespace gatekeeper::cli
