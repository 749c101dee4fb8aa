// How the programs store a site user's password: plain, as the database has always kept it, or
// hashed (passhash/password_hash.h) when the general option MAIN/HashPasswords is set. Shared by
// every program that stores one (the user pages of overseer and steward, rekey, the command
// line). Server accounts' passwords (NTACCOUNTS) are never hashed: the filter hands them to the
// server.
//
// A stored password is a hash when it has the form of one, whatever the option says now, so
// hashes stored while the option was on keep working after it is turned off. For the same
// reason no program stores a plain password that has the form of a hash: it could never be
// told from one.
#ifndef GATEKEEPER_ACCOUNTDB_PASSWORD_RULES_H_
#define GATEKEEPER_ACCOUNTDB_PASSWORD_RULES_H_

#include <string>
#include <string_view>

#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// How new passwords are stored, read from the database's general options.
struct PasswordStorage {
  bool hashed = false;  // MAIN/HashPasswords: new passwords are stored hashed
};

// The storage the database asks for: hashed when MAIN/HashPasswords is a set flag (a database
// without the value stores plain passwords, as before the option existed).
PasswordStorage passwordStorage(const ConfigSection& database);

// Why a new password cannot be stored.
enum class PasswordRefusal {
  kNone,
  kUnstorable,    // a line break, or too long (unstorablePasswordRefusal's words)
  kLooksLikeHash, // "Password can not have the form of a password hash !"
  kNotHashed,     // "Password could not be hashed - the change was not stored !"
  kSectionInTheWay,  // a section of the user holds the name Password (a file edited by hand)
};

// The words of a refusal of password; "" for kNone.
std::string passwordRefusalText(PasswordRefusal refusal, std::string_view password);

// Checks a new password (storable, not of the form of a hash) and gives the text to store in
// *stored: the password itself, or its hash when storage.hashed and it is not empty (an empty
// password stays empty: it matches only an empty password either way). *stored is unchanged
// on a refusal.
PasswordRefusal preparePassword(const PasswordStorage& storage, std::string_view password,
                                std::string* stored);

// Whether an empty password given for an existing user keeps the stored one, so that a form
// can leave the field empty instead of showing the password: when passwords are stored hashed,
// or the user's stored password is a hash (a form never shows one).
bool emptyPasswordKeepsStored(const PasswordStorage& storage, const ConfigSection& user);

// Checks and stores password as the user's Password (preparePassword); the user is unchanged
// on a refusal. kSectionInTheWay when a section of the user holds the name, so that no value
// can take it.
PasswordRefusal setUserPassword(ConfigSection& user, const PasswordStorage& storage,
                                std::string_view password);

// What rehashPasswords did.
struct RehashCount {
  int hashed = 0;   // plain passwords replaced by their hash
  int failed = 0;   // plain passwords the system could not hash (left as they were)
};

// Replaces every plain, non-empty password of the users of authority by its hash; hashes and
// empty passwords are left as they are.
RehashCount rehashPasswords(ConfigSection& authority);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_PASSWORD_RULES_H_
