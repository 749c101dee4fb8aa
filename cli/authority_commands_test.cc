// The authority commands on a scratch database: the listing as text and JSON, adding,
// deleting, renaming and setting the policy with what is saved, the pages' refusals, and the
// bindings left as they are with a warning about each that no longer finds its authority.
#include "cli/authority_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "platform/scratch_directory.h"

namespace gatekeeper::cli {
namespace {

class AuthorityCommandsTest : public ::testing::Test, public CliTest {
 protected:
  // Adds the authority Guests (no policy value, no users) and the bindings intranet and
  // extranet|8080 to Staff.
  void addGuestsAndBindings() {
    ConfigFile& database = saved();
    database.sectionByName("ACCOUNTS")->getOrCreateSection("Guests");
    ConfigSection* servers = database.sectionByName("MAIN")->sectionByName("SERVERS");
    servers->setString("intranet", "Staff");
    servers->setString("extranet|8080", "STAFF");
    servers->setString("other", "Guests");
    ASSERT_EQ(database.save(), 1);
  }
  // Each saved authority as "name(ExpirationRequired value)" in slot order.
  std::string savedAuthorities() {
    const ConfigSection* accounts = saved().sectionByName("ACCOUNTS");
    std::string text;
    for (int32_t slot = 1; slot <= accounts->count(); ++slot) {
      const ConfigSection* authority = accounts->sectionByIndex(slot);
      if (authority->isPlaceholder()) continue;
      const ConfigValue* policy = authority->valueByName("ExpirationRequired");
      text += std::string(authority->name()) + "(" +
              (policy->isPlaceholder() ? "-" : std::to_string(policy->getInt())) + ") ";
    }
    return text;
  }
};

TEST_F(AuthorityCommandsTest, ListsAsTextAndJson) {
  addGuestsAndBindings();
  const RunOutput text = run({"authority", "list"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out,
            "Authority  Expiration required  Users\n"
            "Staff      Yes                  2\n"
            "Guests     No                   0\n");
  const RunOutput json = run({"authority", "list", "--json"});
  EXPECT_EQ(json.out,
            "[\n"
            "  {\"name\": \"Staff\", \"expirationRequired\": true, \"users\": 2},\n"
            "  {\"name\": \"Guests\", \"expirationRequired\": false, \"users\": 0}\n"
            "]\n");
  ASSERT_EQ(run({"authority", "del", "Staff"}).status, 0);
  ASSERT_EQ(run({"authority", "del", "Guests"}).status, 0);
  EXPECT_EQ(run({"authority", "list", "--json"}).out, "[]\n");
  EXPECT_EQ(run({"authority", "list"}).out, "Authority  Expiration required  Users\n");
}

TEST_F(AuthorityCommandsTest, RefusalsInThePagesWordsStoreNothing) {
  struct Case {
    std::vector<std::string> arguments;
    const char* err;
  };
  const Case cases[] = {
      {{"authority", "add", ""}, "Authority name can not be empty !\n"},
      {{"authority", "add", "a=b"}, "Authority name contains characters that can not be stored !\n"},
      {{"authority", "add", "Part\x1b[2Jners"},
       "Authority name contains characters that can not be stored !\n"},
      {{"authority", "add", "STAFF", "--expiration-required"}, "Authority STAFF already exist !\n"},
      {{"authority", "del", "Nobody"}, "Authority Nobody not found !\n"},
      {{"authority", "rename", "Nobody", "Other"}, "Authority Nobody not found !\n"},
      {{"authority", "rename", "staff", ""},
       "Authority Staff not changed - name can not be empty !\n"},
      {{"authority", "rename", "Staff", "a:b"},
       "Authority name contains characters that can not be stored !\n"},
      {{"authority", "rename", "Staff", "guests"}, "Authority guests already exist !\n"},
      {{"authority", "set", "Nobody", "--no-expiration-required"}, "Authority Nobody not found !\n"},
  };
  addGuestsAndBindings();
  const std::string before = platform::readWholeFile(databasePath());
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments);
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
  // The policy needs one of its two options, never both.
  EXPECT_EQ(run({"authority", "set", "Staff"}).status, 2);
  EXPECT_EQ(run({"authority", "set", "Staff", "--expiration-required",
                 "--no-expiration-required"}).status, 2);
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
}

TEST_F(AuthorityCommandsTest, ChangesAreSavedAsThePagesSaveThem) {
  struct Case {
    std::vector<std::string> arguments;
    const char* out;
    const char* authorities;
  };
  const Case cases[] = {
      {{"authority", "add", "Partners"}, "Authority Partners created.\n",
       "Staff(1) Guests(-) Partners(0) "},
      {{"authority", "add", "Vendors", "--expiration-required"}, "Authority Vendors created.\n",
       "Staff(1) Guests(-) Partners(0) Vendors(1) "},
      {{"authority", "set", "guests", "--expiration-required"},
       "Authority Guests changed successfuly !\n", "Staff(1) Guests(1) Partners(0) Vendors(1) "},
      {{"authority", "set", "Staff", "--no-expiration-required"},
       "Authority Staff changed successfuly !\n", "Staff(0) Guests(1) Partners(0) Vendors(1) "},
      // Its own name in other letter case; the policy stays.
      {{"authority", "rename", "partners", "PARTNERS"},
       "Authority Partners changed successfuly !\n",
       "Staff(0) Guests(1) PARTNERS(0) Vendors(1) "},
      {{"authority", "rename", "Vendors", "Suppliers"},
       "Authority Vendors changed successfuly !\n",
       "Staff(0) Guests(1) PARTNERS(0) Suppliers(1) "},
      {{"authority", "del", "suppliers"}, "Authority Suppliers deleted. \n",
       "Staff(0) Guests(1) PARTNERS(0) "},
  };
  addGuestsAndBindings();
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(savedAuthorities(), c.authorities) << c.out;
  }
  // The users move with their authority.
  ASSERT_EQ(run({"authority", "rename", "Staff", "Employees"}).status, 0);
  EXPECT_FALSE(savedUser("Employees", "John")->isPlaceholder());
}

TEST_F(AuthorityCommandsTest, BindingsStayAndAreNamedWhenTheirAuthorityGoes) {
  addGuestsAndBindings();
  const RunOutput renamed = run({"authority", "rename", "Staff", "Employees"});
  EXPECT_EQ(renamed.status, 0);
  EXPECT_EQ(renamed.err,
            "Warning: the binding intranet names the authority Staff, which is not there - the "
            "filter refuses every user of that site\n"
            "Warning: the binding extranet|8080 names the authority Staff, which is not there - "
            "the filter refuses every user of that site\n");
  const RunOutput deleted = run({"authority", "del", "GUESTS"});
  EXPECT_EQ(deleted.out, "Authority Guests deleted. \n");
  EXPECT_EQ(deleted.err,
            "Warning: the binding other names the authority Guests, which is not there - the "
            "filter refuses every user of that site\n");
  const ConfigSection* servers = saved().sectionByName("MAIN")->sectionByName("SERVERS");
  EXPECT_STREQ(servers->valueByName("intranet")->getString(), "Staff");
  EXPECT_STREQ(servers->valueByName("extranet|8080")->getString(), "STAFF");
  EXPECT_STREQ(servers->valueByName("other")->getString(), "Guests");
  // Renamed back, nothing is missing.
  const RunOutput back = run({"authority", "rename", "Employees", "Staff"});
  EXPECT_EQ(back.err, "");
}

}  // namespace
}  // namespace gatekeeper::cli
