// The rules for NT accounts: the order of the refusals and that a refusal changes nothing, the
// stored password and its value's name, deletion, and the users mapped to an account.
#include "accountdb/nt_account_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"

namespace gatekeeper::accountdb {
namespace {

// NTACCOUNTS with the value NotAnAccount and the accounts webuser and Guest (no password);
// ACCOUNTS with Staff (John mapped to WEBUSER, mary unmapped but naming webuser, ann mapped
// to guest) and Sales (bob mapped to webuser).
class NtAccountRulesTest : public ::testing::Test {
 protected:
  NtAccountRulesTest() : root_("") {
    ConfigSection* accounts = root_.getOrCreateSection(kNtAccounts);
    accounts->setString("NotAnAccount", "x");
    accounts->getOrCreateSection("webuser")->setString(kPassword, "webpass");
    accounts->getOrCreateSection("Guest");
    ConfigSection* authorities = root_.getOrCreateSection(kAccounts);
    ConfigSection* staff = authorities->getOrCreateSection("Staff");
    staff->getOrCreateSection("John")->setString(kMapTo, "WEBUSER");
    ConfigSection* mary = staff->getOrCreateSection("mary");
    mary->setString(kMapTo, "webuser");
    mary->setInt(kDoNotMap, 1);
    staff->getOrCreateSection("ann")->setString(kMapTo, "guest");
    authorities->getOrCreateSection("Sales")->getOrCreateSection("bob")->setString(kMapTo,
                                                                                   "webuser");
  }
  std::string names() const {
    std::string text;
    for (const ConfigSection* account : ntAccounts(root_)) text += std::string(account->name()) + " ";
    return text;
  }
  const ConfigSection& account(const char* name) const {
    return *root_.sectionByName(kNtAccounts)->sectionByName(name);
  }
  ConfigSection root_;
};

TEST_F(NtAccountRulesTest, AddRefusesInOrderAndChangesNothing) {
  struct Case {
    std::string name;
    std::string password;
    std::string confirmation;
    NtAccountRefusal refusal;
    const char* words;
  };
  const Case cases[] = {
      {"", "a", "b", NtAccountRefusal::kEmptyName, "User name not specified !"},
      {"ops:team", "a", "b", NtAccountRefusal::kUnstorableName,
       "User name contains characters that can not be stored !"},
      {"ops ", "a", "a", NtAccountRefusal::kUnstorableName,
       "User name contains characters that can not be stored !"},
      {"guest", "abc", "ABC", NtAccountRefusal::kPasswordsDiffer,
       "Password entries do not match !"},
      {"ops", "a\rb", "a\rb", NtAccountRefusal::kUnstorablePassword,
       "Password can not contain line breaks !"},
      {"ops", std::string(1024, 'x'), std::string(1024, 'x'),
       NtAccountRefusal::kUnstorablePassword, "Password is too long to be stored !"},
      {"GUEST", "x", "x", NtAccountRefusal::kAlreadyExists, "Account allready exist !"},
      {"notanaccount", "x", "x", NtAccountRefusal::kCannotAddAccount,
       "Internal error - can not add section for new NT account !"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(addNtAccount(root_, c.name, c.password, c.confirmation), c.refusal) << c.name;
    EXPECT_EQ(ntAccountRefusalSentence(c.refusal, c.password).plain(), c.words);
    EXPECT_EQ(names(), "webuser Guest ");
  }
  // NTACCOUNTS held by a value cannot take an account.
  ConfigSection bare("");
  bare.setString(kNtAccounts, "x");
  EXPECT_EQ(addNtAccount(bare, "ops", "", ""), NtAccountRefusal::kNoAccountsSection);
  EXPECT_EQ(ntAccountRefusalSentence(NtAccountRefusal::kNoAccountsSection).plain(),
            "Internal error - can not add section NTACCOUNTS !");
}

TEST_F(NtAccountRulesTest, AddTakesTheFreedSlotAndStoresThePassword) {
  removeNtAccount(root_, "WEBUSER");
  EXPECT_EQ(names(), "Guest ");
  ASSERT_EQ(addNtAccount(root_, "ops", "", ""), NtAccountRefusal::kNone);  // empty is a password
  EXPECT_EQ(names(), "ops Guest ");
  EXPECT_STREQ(account("ops").valueByName(kPassword)->name(), "Password");
  EXPECT_STREQ(readText(account("ops"), kPassword), "");
  // A missing NTACCOUNTS is made.
  ConfigSection bare("");
  ASSERT_EQ(addNtAccount(bare, "ops", "pw", "pw"), NtAccountRefusal::kNone);
  EXPECT_STREQ(readText(*bare.sectionByName(kNtAccounts)->sectionByName("OPS"), kPassword), "pw");
  // Deleting what is not an account deletes nothing.
  removeNtAccount(root_, "NotAnAccount");
  removeNtAccount(root_, "nobody");
  EXPECT_STREQ(readText(*root_.sectionByName(kNtAccounts), "NotAnAccount"), "x");
  EXPECT_EQ(names(), "ops Guest ");
}

TEST_F(NtAccountRulesTest, PasswordChange) {
  struct Case {
    const char* name;
    std::string password;
    std::string confirmation;
    NtAccountRefusal refusal;
  };
  const Case cases[] = {
      {"nobody", "a", "b", NtAccountRefusal::kNotFound},
      {"NotAnAccount", "a", "a", NtAccountRefusal::kNotFound},
      {"webuser", "abc", "ABC", NtAccountRefusal::kPasswordsDiffer},
      {"webuser", "a\n", "a\n", NtAccountRefusal::kUnstorablePassword},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(changeNtAccountPassword(root_, c.name, c.password, c.confirmation), c.refusal)
        << c.name;
    EXPECT_STREQ(readText(account("webuser"), kPassword), "webpass");
  }
  EXPECT_EQ(ntAccountRefusalSentence(NtAccountRefusal::kNotFound).plain(),
            "User name not found !");
  // An existing value keeps its name; a missing one is made as "password".
  ASSERT_EQ(changeNtAccountPassword(root_, "WebUser", "new", "new"), NtAccountRefusal::kNone);
  EXPECT_STREQ(account("webuser").valueByName(kPassword)->name(), "Password");
  EXPECT_STREQ(readText(account("webuser"), kPassword), "new");
  ASSERT_EQ(changeNtAccountPassword(root_, "guest", "g", "g"), NtAccountRefusal::kNone);
  EXPECT_STREQ(account("Guest").valueByName(kPassword)->name(), "password");
  EXPECT_STREQ(readText(account("Guest"), kPassword), "g");
}

TEST_F(NtAccountRulesTest, MappedUsersAndSentences) {
  const std::vector<MappedUser> mapped = usersMappedTo(root_, "webuser");
  ASSERT_EQ(mapped.size(), 2u);  // mary is not mapped, whatever her MapTo says
  EXPECT_EQ(mapped[0].authority + "/" + mapped[0].user, "Staff/John");
  EXPECT_EQ(mapped[1].authority + "/" + mapped[1].user, "Sales/bob");
  EXPECT_EQ(usersMappedTo(root_, "Guest").size(), 1u);
  EXPECT_TRUE(usersMappedTo(root_, "nobody").empty());
  // Deleting an account leaves its users' mapping as it was.
  removeNtAccount(root_, "webuser");
  EXPECT_EQ(usersMappedTo(root_, "webuser").size(), 2u);

  EXPECT_EQ(ntAccountChangeSentence(NtAccountChange::kAdded, "ops").plain(),
            "NT Account ops added successfuly. ");
  EXPECT_EQ(ntAccountChangeSentence(NtAccountChange::kPasswordChanged, "ops").plain(),
            "Password of NT Account ops changed successfuly. ");
  EXPECT_EQ(ntAccountChangeSentence(NtAccountChange::kDeleted, "ops").plain(), "Account deleted.");
}

}  // namespace
}  // namespace gatekeeper::accountdb
