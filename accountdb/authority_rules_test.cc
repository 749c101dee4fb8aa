// The rules for authorities: the order of the refusals and that a refusal changes nothing,
// renames in letter case, deleting with the users, the bindings left alone, and the sentences.
#include "accountdb/authority_rules.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "accountdb/database_names.h"

namespace gatekeeper::accountdb {
namespace {

// MAIN/SERVERS binding intranet to Staff; ACCOUNTS with the value NotAnAuthority, Staff
// (policy 1, the user john) and Guests (policy 0).
class AuthorityRulesTest : public ::testing::Test {
 protected:
  AuthorityRulesTest() { rebuild(); }
  void rebuild() {
    holder_ = std::make_unique<ConfigSection>();
    ConfigSection& root_ = *holder_;
    root_.getOrCreateSection(kMain)->getOrCreateSection(kServers)->setString("intranet", "Staff");
    ConfigSection* accounts = root_.getOrCreateSection(kAccounts);
    accounts->setInt("NotAnAuthority", 1);
    ConfigSection* staff = accounts->getOrCreateSection("Staff");
    staff->setInt(kExpirationRequired, 1);
    staff->getOrCreateSection("john")->setString(kPassword, "secret");
    accounts->getOrCreateSection("Guests")->setInt(kExpirationRequired, 0);
  }
  // Each authority as "name(policy,users)", in slot order, and the binding.
  std::string shape() const {
    const ConfigSection& root_ = *holder_;
    std::string text;
    for (const ConfigSection* authority : listAuthorities(root_)) {
      int users = 0;
      for (int32_t slot = 1; slot <= authority->count(); ++slot) {
        if (!authority->sectionByIndex(slot)->isPlaceholder()) ++users;
      }
      text += std::string(authority->name()) + "(" +
              std::to_string(authority->valueByName(kExpirationRequired)->getInt()) + "," +
              std::to_string(users) + ") ";
    }
    return text + "intranet=" +
           root_.sectionByName(kMain)->sectionByName(kServers)->valueByName("intranet")
               ->getString();
  }
  ConfigSection& root() { return *holder_; }
  std::unique_ptr<ConfigSection> holder_;
};

constexpr char kBefore[] = "Staff(1,1) Guests(0,0) intranet=Staff";

TEST_F(AuthorityRulesTest, AddRefusesInOrderAndChangesNothing) {
  struct Case {
    std::string name;
    AuthorityRefusal refusal;
  };
  const Case cases[] = {
      {"", AuthorityRefusal::kEmptyName},
      {"a=b", AuthorityRefusal::kUnstorableName},
      {"Par:tners", AuthorityRefusal::kUnstorableName},
      {" Partners", AuthorityRefusal::kUnstorableName},
      {"Part\nners", AuthorityRefusal::kUnstorableName},
      {"STAFF", AuthorityRefusal::kAlreadyExists},
      {"notanauthority", AuthorityRefusal::kCannotAdd},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(addAuthority(root(), c.name, 1), c.refusal) << c.name;
    EXPECT_EQ(shape(), kBefore) << c.name;
  }
  ConfigSection blocked;
  blocked.setInt(kAccounts, 1);
  EXPECT_EQ(addAuthority(blocked, "Partners", 1), AuthorityRefusal::kNoAccounts);
}

TEST_F(AuthorityRulesTest, AddCreatesAccountsAndThePolicy) {
  EXPECT_EQ(addAuthority(root(), "Partners", 0), AuthorityRefusal::kNone);
  EXPECT_EQ(shape(), "Staff(1,1) Guests(0,0) Partners(0,0) intranet=Staff");
  ConfigSection empty;
  EXPECT_EQ(addAuthority(empty, "Partners", 1), AuthorityRefusal::kNone);
  EXPECT_EQ(findAuthority(empty, "partners")->valueByName(kExpirationRequired)->getInt(), 1);
}

TEST_F(AuthorityRulesTest, RemoveTakesTheUsersAndLeavesBindings) {
  EXPECT_EQ(removeAuthority(root(), "staff"), AuthorityRefusal::kNone);
  EXPECT_EQ(shape(), "Guests(0,0) intranet=Staff");
  EXPECT_EQ(removeAuthority(root(), "Staff"), AuthorityRefusal::kNotFound);
  EXPECT_EQ(removeAuthority(root(), "NotAnAuthority"), AuthorityRefusal::kNotFound);
  EXPECT_EQ(root().sectionByName(kAccounts)->valueByName("NotAnAuthority")->getInt(), 1);
}

TEST_F(AuthorityRulesTest, ChangeRenamesAndSetsThePolicyOrRefusesInOrder) {
  struct Case {
    const char* name;
    const char* newName;
    int policy;
    AuthorityRefusal refusal;
    const char* after;
  };
  const Case cases[] = {
      {"Nobody", "", 0, AuthorityRefusal::kNotFound, kBefore},
      {"NotAnAuthority", "x", 0, AuthorityRefusal::kNotFound, kBefore},
      {"Staff", "", 0, AuthorityRefusal::kNewNameEmpty, kBefore},
      {"Staff", "a;b", 0, AuthorityRefusal::kUnstorableName, kBefore},
      {"Staff", "guests", 0, AuthorityRefusal::kAlreadyExists, kBefore},
      {"Staff", "NOTANAUTHORITY", 0, AuthorityRefusal::kAlreadyExists, kBefore},
      {"Staff", "Staff", 0, AuthorityRefusal::kNone, "Staff(0,1) Guests(0,0) intranet=Staff"},
      {"staff", "STAFF", 1, AuthorityRefusal::kNone, "STAFF(1,1) Guests(0,0) intranet=Staff"},
      {"Staff", "Employees", 1, AuthorityRefusal::kNone,
       "Employees(1,1) Guests(0,0) intranet=Staff"},
  };
  for (const Case& c : cases) {
    rebuild();
    EXPECT_EQ(changeAuthority(root(), c.name, c.newName, c.policy), c.refusal) << c.newName;
    EXPECT_EQ(shape(), c.after) << c.newName;
  }
  // A user named as the policy value holds its place: nothing is renamed.
  findAuthority(root(), "Guests")->deleteByName(kExpirationRequired);
  findAuthority(root(), "Guests")->getOrCreateSection(kExpirationRequired);
  EXPECT_EQ(changeAuthority(root(), "Guests", "Other", 1), AuthorityRefusal::kPolicyNotStorable);
  EXPECT_FALSE(findAuthority(root(), "Guests")->isPlaceholder());
}

TEST(AuthoritySentencesTest, WordTheResults) {
  struct Case {
    Sentence sentence;
    const char* plain;
    int names;
  };
  const Case cases[] = {
      {authorityRefusalSentence(AuthorityRefusal::kEmptyName, "", ""),
       "Authority name can not be empty !", 0},
      {authorityRefusalSentence(AuthorityRefusal::kUnstorableName, "a", "b:c"),
       "Authority name contains characters that can not be stored !", 0},
      {authorityRefusalSentence(AuthorityRefusal::kAlreadyExists, "Staff", "Guests"),
       "Authority Guests already exist !", 1},
      {authorityRefusalSentence(AuthorityRefusal::kNoAccounts, "a", "a"),
       "Internal error - can not add section ACCOUNTS !", 0},
      {authorityRefusalSentence(AuthorityRefusal::kCannotAdd, "a", "a"),
       "Internal error - can not add section for new authority !", 0},
      {authorityRefusalSentence(AuthorityRefusal::kNotFound, "Nobody", "x"),
       "Authority Nobody not found !", 1},
      {authorityRefusalSentence(AuthorityRefusal::kNewNameEmpty, "Staff", ""),
       "Authority Staff not changed - name can not be empty !", 1},
      {authorityRefusalSentence(AuthorityRefusal::kPolicyNotStorable, "Staff", "x"),
       "Internal error - can not store the expiration policy !", 0},
      {authorityChangeSentence(AuthorityChange::kAdded, "P"), "Authority P created.", 1},
      {authorityChangeSentence(AuthorityChange::kDeleted, "P"), "Authority P deleted. ", 1},
      {authorityChangeSentence(AuthorityChange::kChanged, "P"),
       "Authority P changed successfuly !", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.sentence.plain(), c.plain);
    EXPECT_EQ(c.sentence.names, c.names) << c.plain;
  }
}

}  // namespace
}  // namespace gatekeeper::accountdb
