// How passwords are stored: the option that asks for hashes, what a new password becomes,
// when an empty one keeps the stored password, and the rehash of an authority's plain ones.
#include "accountdb/password_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/option_rules.h"
#include "accountdb/user_rules.h"
#include "accountdb/value_readers.h"
#include "passhash/password_hash.h"

namespace gatekeeper::accountdb {
namespace {

constexpr PasswordStorage kPlain{false};
constexpr PasswordStorage kHashed{true};

std::string storedPassword(const ConfigSection& user) { return readText(user, kPassword); }

TEST(PasswordRulesTest, TheOptionIsAnIntFlagInMain) {
  struct Case {
    const char* name;
    void (*write)(ConfigSection& main);
    bool hashed;
  };
  const Case cases[] = {
      {"no value", [](ConfigSection&) {}, false},
      {"int 1", [](ConfigSection& main) { main.setInt(kHashPasswords, 1); }, true},
      {"int 0", [](ConfigSection& main) { main.setInt(kHashPasswords, 0); }, false},
      {"other case", [](ConfigSection& main) { main.setInt("hashpasswords", 2); }, true},
      {"string 1", [](ConfigSection& main) { main.setString(kHashPasswords, "1"); }, false},
  };
  for (const Case& c : cases) {
    ConfigSection root("");
    c.write(*root.getOrCreateSection(kMain));
    EXPECT_EQ(passwordStorage(root).hashed, c.hashed) << c.name;
  }
  EXPECT_FALSE(passwordStorage(ConfigSection("")).hashed) << "no MAIN";
}

TEST(PasswordRulesTest, StoringTheOptionOffWritesNothingNew) {
  // Off, on a database that never had the option: MAIN keeps exactly what it had.
  ConfigSection root("");
  ASSERT_EQ(storeGeneralOptions(root, {false, std::string("/log"), false}), OptionRefusal::kNone);
  EXPECT_TRUE(root.sectionByName(kMain)->valueByName(kHashPasswords)->isPlaceholder());
  ASSERT_EQ(storeGeneralOptions(root, {false, std::string("/log"), true}), OptionRefusal::kNone);
  EXPECT_TRUE(passwordStorage(root).hashed);
  // Off over a value that exists: 0.
  ASSERT_EQ(storeGeneralOptions(root, {false, std::string("/log"), false}), OptionRefusal::kNone);
  EXPECT_FALSE(passwordStorage(root).hashed);
  EXPECT_EQ(root.sectionByName(kMain)->valueByName(kHashPasswords)->getInt(), 0);
  // A section of the option's name in MAIN is in the way of turning it on, not of leaving it off.
  ConfigSection blocked("");
  blocked.getOrCreateSection(kMain)->getOrCreateSection(kHashPasswords);
  EXPECT_EQ(storeGeneralOptions(blocked, {true, std::nullopt, true}),
            OptionRefusal::kValueInTheWay);
  EXPECT_EQ(storeGeneralOptions(blocked, {true, std::nullopt, false}), OptionRefusal::kNone);
}

TEST(PasswordRulesTest, ANewPasswordIsStoredAsTheDatabaseAsks) {
  const std::string aHash = passhash::hashPassword("x").value();
  struct Case {
    PasswordStorage storage;
    std::string password;
    PasswordRefusal refusal;
    bool storedAsHash;
  };
  const Case cases[] = {
      {kPlain, "secret", PasswordRefusal::kNone, false},
      {kHashed, "secret", PasswordRefusal::kNone, true},
      {kPlain, "", PasswordRefusal::kNone, false},
      {kHashed, "", PasswordRefusal::kNone, false},  // empty matches only empty either way
      {kPlain, "$notahash$", PasswordRefusal::kNone, false},
      {kHashed, "two\nlines", PasswordRefusal::kUnstorable, false},
      {kPlain, aHash, PasswordRefusal::kLooksLikeHash, false},
      {kHashed, aHash, PasswordRefusal::kLooksLikeHash, false},
  };
  for (const Case& c : cases) {
    std::string stored = "untouched";
    EXPECT_EQ(preparePassword(c.storage, c.password, &stored), c.refusal) << c.password;
    if (c.refusal != PasswordRefusal::kNone) {
      EXPECT_EQ(stored, "untouched");
      EXPECT_FALSE(passwordRefusalText(c.refusal, c.password).empty());
      continue;
    }
    EXPECT_EQ(passhash::isPasswordHash(stored), c.storedAsHash) << c.password;
    if (c.storedAsHash) {
      EXPECT_TRUE(passhash::verifyPassword(stored, c.password));
      EXPECT_FALSE(passhash::verifyPassword(stored, c.password + "x"));
    } else {
      EXPECT_EQ(stored, c.password);
    }
  }
}

TEST(PasswordRulesTest, AnEmptyPasswordKeepsAStoredHashOrAnyPasswordWhileHashing) {
  struct Case {
    PasswordStorage storage;
    bool storedHashed;
    bool keeps;
  };
  const Case cases[] = {
      {kPlain, false, false},  // as before the option: an empty field stores an empty password
      {kPlain, true, true},
      {kHashed, false, true},
      {kHashed, true, true},
  };
  for (const Case& c : cases) {
    ConfigSection authority("staff");
    UserEntry entry;
    entry.password = c.storedHashed ? passhash::hashPassword("old").value() : "old";
    entry.ntAccount = "web";
    ConfigSection* user = authority.getOrCreateSection("john");
    writeUserEntry(*user, entry);
    EXPECT_EQ(emptyPasswordKeepsStored(c.storage, *user), c.keeps);
    const std::string before = storedPassword(*user);

    UserEntry change = entry;
    change.password.clear();
    change.disabled = 1;
    ConfigSection* changed = nullptr;
    ASSERT_EQ(replaceUser(authority, "john", change, &changed, c.storage), UserRefusal::kNone);
    EXPECT_EQ(storedPassword(*changed), c.keeps ? before : "");
    EXPECT_TRUE(readFlag(*changed, kDisabled));

    // A password given replaces the stored one, hashed when the storage asks for it.
    change.password = "new";
    ASSERT_EQ(replaceUser(authority, "john", change, &changed, c.storage), UserRefusal::kNone);
    EXPECT_EQ(passhash::isPasswordHash(storedPassword(*changed)), c.storage.hashed);
    EXPECT_TRUE(passhash::verifyPassword(storedPassword(*changed), "new"));
  }
}

TEST(PasswordRulesTest, UserRulesRefuseAPasswordOfTheFormOfAHash) {
  ConfigSection authority("staff");
  UserEntry entry;
  entry.password = passhash::hashPassword("x").value();
  EXPECT_EQ(addUser(authority, "john", entry, kPlain), UserRefusal::kPasswordLikeHash);
  EXPECT_EQ(authority.count(), 0);
  EXPECT_EQ(refusalSentence(UserRefusal::kPasswordLikeHash, "john", "staff").plain(),
            "Password can not have the form of a password hash !");
  entry.password = "plain";
  ASSERT_EQ(addUser(authority, "john", entry, kHashed), UserRefusal::kNone);
  EXPECT_TRUE(passhash::verifyPassword(storedPassword(*findUser(authority, "john")), "plain"));
}

TEST(PasswordRulesTest, SetUserPasswordAndRehash) {
  ConfigSection authority("staff");
  const std::string kept = passhash::hashPassword("hashed before").value();
  for (const auto& [name, password] : {std::pair<const char*, std::string>{"a", "alpha"},
                                       {"b", ""},
                                       {"c", kept},
                                       {"d", "delta"}}) {
    authority.getOrCreateSection(name)->setString(kPassword, password.c_str());
  }
  authority.setInt(kExpirationRequired, 1);  // a value of the authority, not a user

  const RehashCount count = rehashPasswords(authority);
  EXPECT_EQ(count.hashed, 2);
  EXPECT_EQ(count.failed, 0);
  EXPECT_TRUE(passhash::verifyPassword(storedPassword(*findUser(authority, "a")), "alpha"));
  EXPECT_TRUE(passhash::isPasswordHash(storedPassword(*findUser(authority, "a"))));
  EXPECT_EQ(storedPassword(*findUser(authority, "b")), "");
  EXPECT_EQ(storedPassword(*findUser(authority, "c")), kept);
  EXPECT_TRUE(passhash::verifyPassword(storedPassword(*findUser(authority, "d")), "delta"));
  EXPECT_EQ(rehashPasswords(authority).hashed, 0);  // nothing plain is left

  ConfigSection& user = *findUser(authority, "a");
  const std::string before = storedPassword(user);
  EXPECT_EQ(setUserPassword(user, kPlain, "a\rb"), PasswordRefusal::kUnstorable);
  EXPECT_EQ(storedPassword(user), before);
  EXPECT_EQ(setUserPassword(user, kPlain, "plain again"), PasswordRefusal::kNone);
  EXPECT_EQ(storedPassword(user), "plain again");
}

}  // namespace
}  // namespace gatekeeper::accountdb
