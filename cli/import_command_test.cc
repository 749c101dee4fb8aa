// import htpasswd on a scratch database: what is stored in one save and what each line of the
// file became, as text and JSON, the exit status, and refusals that store nothing.
#include "cli/import_command.h"

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

// pbkdf2-sha256 of "password".
const char kPbkdf2[] =
    "$pbkdf2-sha256$29000$AAECAwQFBgcICQoLDA0ODw$oQniwjLkYbajNGr0RGSng8udgXKplgpN15LZNV56KTQ";
const char kApr1[] = "$apr1$vEkuRQ8u$.Ba3tqySOxbExQtbBug5k1";

class ImportCommandTest : public ::testing::Test, public CliTest {
 protected:
  // The password file, beside the database.
  std::string passwordFile(const std::string& text) {
    const std::string path = databasePath() + ".htpasswd";
    platform::writeWholeFile(path, text);
    return path;
  }
  RunOutput import(const std::string& text, const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"import", "htpasswd", "--authority", "Staff",
                                          passwordFile(text)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return run(arguments);
  }
};

TEST_F(ImportCommandTest, ImportsInOneSaveAndSaysWhatBecameOfEachLine) {
  const std::string file = std::string("# made by htpasswd\r\n") +
                           "alice:" + kPbkdf2 + "\r\n" +
                           "john:" + kPbkdf2 + "\r\n" +
                           "carol:" + kApr1 + "\r\n" +
                           "dave:rShq/MNyhfKao\r\n" +
                           "\r\n" +
                           "bo\x1b[2Jb:" + kPbkdf2 + "\r\n";
  const RunOutput result = import(file, {"--map-to", "guest"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "alice: imported (pbkdf2-sha256)\n"
            "john: left alone: already exists\n"
            "carol: needs a new password: weak scheme apr1\n"
            "dave: needs a new password: unsupported form\n"
            "bo\\x1b[2Jb: not imported: User name contains characters that can not be stored !\n"
            "Authority Staff: 1 user imported, 0 replaced, 4 not imported\n");
  // The authority requires expiration dates: the imported users need one.
  EXPECT_EQ(result.err,
            "Warning: authority Staff requires an expiration date - the filter refuses the "
            "imported users until they have one (user set --expires or --no-expiration)\n");
  EXPECT_EQ(savedUsers(), "John mary alice ");
  const ConfigSection* alice = savedUser("Staff", "alice");
  EXPECT_STREQ(readText(*alice, "Password"), kPbkdf2);
  EXPECT_FALSE(readFlag(*alice, "DoNotMap"));
  EXPECT_STREQ(readText(*alice, "MapTo"), "guest");
  EXPECT_STREQ(readText(*savedUser("Staff", "John"), "Password"), "old");

  // Again with weak hashes allowed and existing users replaced: only the password changes.
  const RunOutput again =
      import(file, {"--allow-weak", "--replace", "--json", "--map-to", "guest"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, result.err);
  EXPECT_EQ(again.out,
            "{\"authority\": \"Staff\", \"imported\": 1, \"replaced\": 2, \"notImported\": 2, "
            "\"users\": [\n"
            "  {\"line\": 2, \"name\": \"alice\", \"outcome\": \"replaced\", \"scheme\": "
            "\"pbkdf2-sha256\", \"needsNewPassword\": false, \"text\": \"replaced "
            "(pbkdf2-sha256)\"},\n"
            "  {\"line\": 3, \"name\": \"john\", \"outcome\": \"replaced\", \"scheme\": "
            "\"pbkdf2-sha256\", \"needsNewPassword\": false, \"text\": \"replaced "
            "(pbkdf2-sha256)\"},\n"
            "  {\"line\": 4, \"name\": \"carol\", \"outcome\": \"imported\", \"scheme\": \"apr1\", "
            "\"needsNewPassword\": false, \"text\": \"imported (apr1)\"},\n"
            "  {\"line\": 5, \"name\": \"dave\", \"outcome\": \"unsupportedForm\", \"scheme\": "
            "\"plain\", \"needsNewPassword\": true, \"text\": \"needs a new password: unsupported "
            "form\"},\n"
            "  {\"line\": 7, \"name\": \"bo\\u001b[2Jb\", \"outcome\": \"nameRefused\", \"scheme\": "
            "\"pbkdf2-sha256\", \"needsNewPassword\": false, \"text\": \"not imported: User name "
            "contains characters that can not be stored !\"}\n"
            "]}\n");
  EXPECT_EQ(savedUsers(), "John mary alice carol ");
  const ConfigSection* john = savedUser("Staff", "John");
  EXPECT_STREQ(readText(*john, "Password"), kPbkdf2);
  EXPECT_STREQ(readText(*john, "MapTo"), "webuser");
  EXPECT_STREQ(readText(*savedUser("Staff", "carol"), "Password"), kApr1);
}

TEST_F(ImportCommandTest, EverythingImportedIsStatusZero) {
  const RunOutput result =
      import(std::string("bob:") + kPbkdf2 + "\n", {"--map-to", "nobody"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "bob: imported (pbkdf2-sha256)\n"
            "Authority Staff: 1 user imported, 0 replaced, 0 not imported\n");
  // As user add warns about an NT account that is not there.
  EXPECT_EQ(result.err.find("Warning: there is no NT account nobody - the filter refuses the "
                            "imported users until it is added\n"),
            0u);
  EXPECT_TRUE(passhash::verifyPassword(readText(*savedUser("Staff", "bob"), "Password"),
                                       "password"));
  // Replacing existing users' passwords needs no NT account.
  const RunOutput replaced = import(std::string("mary:") + kPbkdf2 + "\n", {"--replace"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_TRUE(readFlag(*savedUser("Staff", "mary"), "DoNotMap"));
  EXPECT_STREQ(readText(*savedUser("Staff", "mary"), "Password"), kPbkdf2);
}

TEST_F(ImportCommandTest, RefusalsStoreNothing) {
  struct Case {
    std::vector<std::string> arguments;  // after "import htpasswd"; FILE is the file below
    int status;
    std::string errStart;
  };
  const std::string file = passwordFile(std::string("bob:") + kPbkdf2 + "\njohn:" + kPbkdf2);
  const Case cases[] = {
      {{"--authority", "Nope", file, "--map-to", "guest"}, 1, "Authority Nope not found !\n"},
      {{"--authority", "Staff", file}, 1,
       "gatekeeper: 1 user of " + file + " would be new to authority Staff: name the NT account "
       "they are mapped to with --map-to NTACCOUNT (nothing was imported)\n"},
      {{"--authority", "Staff", file + ".missing", "--map-to", "guest"}, 1,
       "gatekeeper: cannot read the password file " + file + ".missing: "},
      {{"--authority", "Staff", databasePath() + "/..", "--map-to", "guest"}, 1,
       "gatekeeper: cannot read the password file "},
      {{file, "--map-to", "guest"}, 2, "gatekeeper: --authority is needed\n"},
      {{"--authority", "Staff"}, 2, "gatekeeper: missing FILE\n"},
      {{"--authority", "Staff", file, file}, 2, "gatekeeper: unexpected argument"},
  };
  const std::string before = platform::readWholeFile(databasePath());
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"import", "htpasswd"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const RunOutput result = run(arguments);
    EXPECT_EQ(result.status, c.status) << c.errStart;
    EXPECT_EQ(result.err.rfind(c.errStart, 0), 0u) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
  // The usage line puts the authority before the file.
  EXPECT_NE(run({"import", "htpasswd"}).err.find(
                "usage: gatekeeper [--database FILE] import htpasswd --authority NAME FILE "
                "[--map-to NTACCOUNT] [--allow-weak] [--replace] [--json]\n"),
            std::string::npos);
}

}  // namespace
}  // namespace gatekeeper::cli
