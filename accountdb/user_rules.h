// The rules for adding, changing and deleting the users of an authority, shared by every
// program that changes users (the user pages of overseer and steward, the command line). A
// rule checks in a fixed order, changes the tree or refuses without changing anything, and
// names its result in the system's own words as a Sentence, which each program presents in
// its own form (the pages emphasise the quoted names in HTML; the command line prints the
// words plainly). Saving is the caller's: a rule never saves.
#ifndef GATEKEEPER_ACCOUNTDB_USER_RULES_H_
#define GATEKEEPER_ACCOUNTDB_USER_RULES_H_

#include <string>
#include <string_view>

#include "accountdb/expiry_date.h"
#include "accountdb/password_rules.h"
#include "accountdb/user_entry.h"
#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// Why a change of a user is refused; the checks run in this order (kNoSuchUser only where a
// caller asks for an existing user).
enum class UserRefusal {
  kNone,
  kAuthorityNotFound,   // "Authority NAME not found !"
  kEmptyName,           // "User name can not be empty !"
  kUnstorableName,      // "User name contains characters that can not be stored !"
  kUnstorablePassword,  // "Password can not contain line breaks !" / "... too long to be stored !"
  kPasswordLikeHash,    // "Password can not have the form of a password hash !"
  kAlreadyExists,       // "User NAME already exist in authority AUTHORITY"
  kNoSuchUser,          // "User NAME does not exist in authority AUTHORITY"
  kPasswordNotHashed,   // "Password could not be hashed - the change was not stored !"
};

// What a rule did.
enum class UserChange { kAdded, kChanged, kDeleted };

// One sentence of the system quoting up to two names: lead, first name, middle, second name,
// tail. names tells how many of first and second are names (0, 1 or 2); the parts of a
// sentence without names are all in lead. plain() is the sentence as words.
struct Sentence {
  std::string lead;
  std::string first;
  std::string middle;
  std::string second;
  std::string tail;
  int names = 0;
  std::string plain() const { return lead + first + middle + second + tail; }
};

// The sentence of a refusal; user and authority as the caller names them. The password is
// needed only for kUnstorablePassword, whose words depend on why it cannot be stored.
Sentence refusalSentence(UserRefusal refusal, std::string_view user, std::string_view authority,
                         std::string_view password = {});

// "User NAME added to authority AUTHORITY", "... changed in ...", "... deleted from ...".
Sentence changeSentence(UserChange change, std::string_view user, std::string_view authority);

// The words of a warning about a stored expiry date that the filter will refuse; nullptr for
// ExpiryDateWarning::kNone. The pages put "Warning:" before them.
const char* expiryWarningText(ExpiryDateWarning warning);

// The checks that adding and changing share, in their order: authority is not the placeholder
// section, name is not empty, name and password can be stored, the password does not have the
// form of a hash (password_rules.h).
UserRefusal checkUserEntry(const ConfigSection& authority, const std::string& name,
                           const std::string& password);

// Adds a new user: checkUserEntry, then kAlreadyExists when a user of that name (ignoring
// case) or one of the authority's own values holds the name, then kPasswordNotHashed when
// storage asks for a hash that the system cannot make. On kNone the user's section is created
// and the entry written (writeUserEntry), its password as storage asks (preparePassword).
UserRefusal addUser(ConfigSection& authority, const std::string& name, const UserEntry& entry,
                    const PasswordStorage& storage = {});

// Replaces a user whole with entry: values not in an entry do not survive. The user keeps its
// slot, and so its place in every list; a name that matches no user creates one. Refused as
// addUser, except that only a name held by one of the authority's own values is kAlreadyExists.
// An empty password keeps the stored one where emptyPasswordKeepsStored says so. *stored, when
// given, receives the user's section after a change.
UserRefusal replaceUser(ConfigSection& authority, const std::string& name, const UserEntry& entry,
                        ConfigSection** stored = nullptr, const PasswordStorage& storage = {});

// Removes the user of that name. kAuthorityNotFound for the placeholder section; a name that
// matches no user removes nothing and is not refused (the pages confirm it all the same).
UserRefusal removeUser(ConfigSection& authority, const std::string& name);

// The refusal of a password rule as the refusal of a user change.
UserRefusal userRefusalOf(PasswordRefusal refusal);

// The entry of a stored user, as writeUserEntry would write it back.
UserEntry readUserEntry(const ConfigSection& user);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_USER_RULES_H_
