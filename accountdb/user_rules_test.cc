// The rules for users: the order of the refusals and that a refusal changes nothing, the slot
// a changed user keeps, deletion, and the sentences that name the results.
#include "accountdb/user_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"

namespace gatekeeper::accountdb {
namespace {

// An authority holding its own value ExpirationRequired and the users John and mary.
class UserRulesTest : public ::testing::Test {
 protected:
  UserRulesTest() : staff_("Staff") {
    staff_.setInt(kExpirationRequired, 1);
    staff_.getOrCreateSection("John")->setString(kPassword, "old");
    staff_.getOrCreateSection("mary")->setString(kPassword, "pw");
  }
  // The names of the users, in slot order.
  std::string users() const {
    std::string names;
    for (int32_t slot = 1; slot <= staff_.count(); ++slot) {
      const ConfigSection* user = staff_.sectionByIndex(slot);
      if (!user->isPlaceholder()) names += std::string(user->name()) + " ";
    }
    return names;
  }
  static UserEntry entry(const std::string& password) {
    UserEntry e;
    e.password = password;
    e.ntAccount = "webuser";
    return e;
  }
  ConfigSection staff_;
};

TEST_F(UserRulesTest, RefusalsInTheirOrderChangeNothing) {
  struct Case {
    const char* name;
    std::string password;
    bool missingAuthority;
    UserRefusal adding;
    UserRefusal changing;
  };
  const Case cases[] = {
      {"bob", "pw", true, UserRefusal::kAuthorityNotFound, UserRefusal::kAuthorityNotFound},
      {"", "pw\n", false, UserRefusal::kEmptyName, UserRefusal::kEmptyName},
      {"bo:b", "pw\n", false, UserRefusal::kUnstorableName, UserRefusal::kUnstorableName},
      {" bob", "pw", false, UserRefusal::kUnstorableName, UserRefusal::kUnstorableName},
      {"bob", "pw\r", false, UserRefusal::kUnstorablePassword, UserRefusal::kUnstorablePassword},
      {"bob", std::string(1024, 'x'), false, UserRefusal::kUnstorablePassword,
       UserRefusal::kUnstorablePassword},
      {"JOHN", "pw", false, UserRefusal::kAlreadyExists, UserRefusal::kNone},
      {"expirationrequired", "pw", false, UserRefusal::kAlreadyExists,
       UserRefusal::kAlreadyExists},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigSection& authority = c.missingAuthority ? *nullSection() : staff_;
    EXPECT_EQ(addUser(authority, c.name, entry(c.password)), c.adding);
    EXPECT_EQ(users(), "John mary ");
    if (c.changing == UserRefusal::kNone) continue;
    EXPECT_EQ(replaceUser(authority, c.name, entry(c.password)), c.changing);
    EXPECT_EQ(users(), "John mary ");
    EXPECT_STREQ(readText(*staff_.sectionByName("John"), kPassword), "old");
  }
}

TEST_F(UserRulesTest, AddAppendsAndReplaceKeepsTheSlotAndDropsOtherValues) {
  EXPECT_EQ(addUser(staff_, "bob", entry("b")), UserRefusal::kNone);
  staff_.sectionByName("John")->setString("Comment", "not in an entry");
  ConfigSection* stored = nullptr;
  EXPECT_EQ(replaceUser(staff_, "john", entry("new"), &stored), UserRefusal::kNone);
  // The entry takes the name as given now.
  EXPECT_EQ(users(), "john mary bob ");
  ASSERT_EQ(stored, staff_.sectionByName("John"));
  EXPECT_STREQ(readText(*stored, kPassword), "new");
  EXPECT_TRUE(stored->valueByName("Comment")->isPlaceholder());
  // A name that matches nobody is created.
  EXPECT_EQ(replaceUser(staff_, "carol", entry("c")), UserRefusal::kNone);
  EXPECT_EQ(users(), "john mary bob carol ");
}

TEST_F(UserRulesTest, RemoveTakesOnlyUsers) {
  EXPECT_EQ(removeUser(staff_, "MARY"), UserRefusal::kNone);
  EXPECT_EQ(removeUser(staff_, "nobody"), UserRefusal::kNone);
  EXPECT_EQ(removeUser(staff_, "ExpirationRequired"), UserRefusal::kNone);
  EXPECT_EQ(users(), "John ");
  EXPECT_TRUE(readFlag(staff_, kExpirationRequired));
  EXPECT_EQ(removeUser(*nullSection(), "John"), UserRefusal::kAuthorityNotFound);
}

TEST_F(UserRulesTest, ReadBackEntryWritesTheSameValues) {
  UserEntry e = entry("pw");
  e.expireDate = "3/15/2001";
  e.noExpiration = 1;
  e.disabled = 1;
  ASSERT_EQ(addUser(staff_, "bob", e), UserRefusal::kNone);
  const UserEntry back = readUserEntry(*staff_.sectionByName("bob"));
  EXPECT_EQ(back.password, "pw");
  EXPECT_TRUE(back.mapped);
  EXPECT_EQ(back.ntAccount, "webuser");
  EXPECT_EQ(back.expireDate, "3/15/2001");
  EXPECT_EQ(back.noExpiration, 1);
  EXPECT_EQ(back.disabled, 1);
  e.mapped = false;
  ASSERT_EQ(replaceUser(staff_, "bob", e), UserRefusal::kNone);
  EXPECT_FALSE(readUserEntry(*staff_.sectionByName("bob")).mapped);
  EXPECT_EQ(readUserEntry(*staff_.sectionByName("bob")).ntAccount, "");
}

TEST(UserSentencesTest, PlainWords) {
  struct Case {
    Sentence sentence;
    const char* plain;
    int names;
  };
  const Case cases[] = {
      {refusalSentence(UserRefusal::kAuthorityNotFound, "bob", "Staff"),
       "Authority Staff not found !", 1},
      {refusalSentence(UserRefusal::kEmptyName, "", "Staff"), "User name can not be empty !", 0},
      {refusalSentence(UserRefusal::kUnstorableName, "a:b", "Staff"),
       "User name contains characters that can not be stored !", 0},
      {refusalSentence(UserRefusal::kUnstorablePassword, "bob", "Staff", "a\nb"),
       "Password can not contain line breaks !", 0},
      {refusalSentence(UserRefusal::kUnstorablePassword, "bob", "Staff", std::string(1024, 'x')),
       "Password is too long to be stored !", 0},
      {refusalSentence(UserRefusal::kAlreadyExists, "Bob", "Staff"),
       "User Bob already exist in authority Staff", 2},
      {refusalSentence(UserRefusal::kNoSuchUser, "Bob", "Staff"),
       "User Bob does not exist in authority Staff", 2},
      {changeSentence(UserChange::kAdded, "bob", "Staff"), "User bob added to authority Staff", 2},
      {changeSentence(UserChange::kChanged, "bob", "Staff"), "User bob changed in authority Staff",
       2},
      {changeSentence(UserChange::kDeleted, "bob", "Staff"),
       "User bob deleted from authority Staff", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.sentence.plain(), c.plain);
    EXPECT_EQ(c.sentence.names, c.names) << c.plain;
  }
  EXPECT_EQ(expiryWarningText(ExpiryDateWarning::kNone), nullptr);
  EXPECT_NE(expiryWarningText(ExpiryDateWarning::kUnreadable), nullptr);
}

}  // namespace
}  // namespace gatekeeper::accountdb
