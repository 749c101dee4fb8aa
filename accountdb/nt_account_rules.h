// The rules for the NT accounts that users are mapped to (NTACCOUNTS): adding one, changing its
// password, deleting one, and which users are mapped to one. Shared by every program that
// changes them (overseer's NT account pages, the command line). A rule checks in a fixed order,
// changes the tree or refuses without changing anything, and names its result as a Sentence
// (accountdb/user_rules.h) that each program presents in its own form. A rule never saves.
#ifndef GATEKEEPER_ACCOUNTDB_NT_ACCOUNT_RULES_H_
#define GATEKEEPER_ACCOUNTDB_NT_ACCOUNT_RULES_H_

#include <string>
#include <string_view>
#include <vector>

#include "accountdb/user_rules.h"
#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// Why a change of an NT account is refused, with the system's words.
enum class NtAccountRefusal {
  kNone,
  kEmptyName,            // "User name not specified !"
  kNotFound,             // "User name not found !"
  kUnstorableName,       // "User name contains characters that can not be stored !"
  kPasswordsDiffer,      // "Password entries do not match !"
  kUnstorablePassword,   // "Password can not contain line breaks !" / "... too long to be stored !"
  kAlreadyExists,        // "Account allready exist !"
  kNoAccountsSection,    // "Internal error - can not add section NTACCOUNTS !"
  kCannotAddAccount,     // "Internal error - can not add section for new NT account !"
  kCannotStorePassword,  // "Internal error - can not store the password !"
};

// What a rule did.
enum class NtAccountChange { kAdded, kPasswordChanged, kDeleted };

// The sentence of a refusal. The password is needed only for kUnstorablePassword.
Sentence ntAccountRefusalSentence(NtAccountRefusal refusal, std::string_view password = {});

// "NT Account NAME added successfuly. ", "Password of NT Account NAME changed successfuly. ",
// "Account deleted.".
Sentence ntAccountChangeSentence(NtAccountChange change, std::string_view name);

// Adds the account name with its password to NTACCOUNTS of the database's root (creating
// NTACCOUNTS when missing). Checks, in this order: name is not empty and can be stored,
// password equals confirmation (case included) and can be stored, no account of that name
// exists (ignoring case), NTACCOUNTS and then the account's section can be made (a value node
// of either name is in the way). The new section takes the first free slot and holds the value
// "Password".
NtAccountRefusal addNtAccount(ConfigSection& database, const std::string& name,
                              const std::string& password, const std::string& confirmation);

// Sets the password of the existing account name. Checks, in this order: the account exists,
// password equals confirmation and can be stored. An existing Password value keeps its name and
// gets its first string item replaced; a missing one is created as "password".
NtAccountRefusal changeNtAccountPassword(ConfigSection& database, const std::string& name,
                                         const std::string& password,
                                         const std::string& confirmation);

// Deletes the account name (ignoring case) from NTACCOUNTS. Nothing is refused: a name that is
// not there deletes nothing, and a value node of that name is no account and stays. Users
// mapped to it keep their mapping, and the filter refuses them until it is added again or
// their mapping is changed (usersMappedTo tells who they are).
void removeNtAccount(ConfigSection& database, const std::string& name);

// The NT accounts of the database in slot order (value nodes in NTACCOUNTS are none).
std::vector<const ConfigSection*> ntAccounts(const ConfigSection& database);

// A user mapped to an NT account, by authority and user name as stored.
struct MappedUser {
  std::string authority;
  std::string user;
};

// The users of every authority that the filter maps to the account name: not DoNotMap, with
// MapTo naming it (ignoring case, as the filter looks it up); in authority and slot order.
std::vector<MappedUser> usersMappedTo(const ConfigSection& database, std::string_view name);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_NT_ACCOUNT_RULES_H_
