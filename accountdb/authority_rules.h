// The rules for adding, deleting, renaming an authority and setting its expiration policy,
// shared by overseer's authority pages and the command line. As with the user rules
// (accountdb/user_rules.h), a rule checks in a fixed order, changes the tree or refuses without
// changing anything, and its result is worded as a Sentence that each program presents in its
// own form; a rule never saves. Bindings name authorities by name only: deleting or renaming an
// authority leaves every binding as it is.
#ifndef GATEKEEPER_ACCOUNTDB_AUTHORITY_RULES_H_
#define GATEKEEPER_ACCOUNTDB_AUTHORITY_RULES_H_

#include <string>
#include <string_view>
#include <vector>

#include "accountdb/user_rules.h"
#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// Why a change of an authority is refused.
enum class AuthorityRefusal {
  kNone,
  kEmptyName,          // "Authority name can not be empty !"
  kUnstorableName,     // "Authority name contains characters that can not be stored !"
  kAlreadyExists,      // "Authority NAME already exist !" (the name asked for)
  kNoAccounts,         // "Internal error - can not add section ACCOUNTS !"
  kCannotAdd,          // "Internal error - can not add section for new authority !"
  kNotFound,           // "Authority NAME not found !"
  kNewNameEmpty,       // "Authority NAME not changed - name can not be empty !"
  kPolicyNotStorable,  // "Internal error - can not store the expiration policy !"
};

// What a rule did.
enum class AuthorityChange { kAdded, kDeleted, kChanged };

// The sentence of a refusal: name is the authority the change was asked for, newName the
// name it was to get (kAlreadyExists names newName; adding passes the new name as both).
Sentence authorityRefusalSentence(AuthorityRefusal refusal, std::string_view name,
                                  std::string_view newName);

// "Authority NAME created.", "Authority NAME deleted. " (with its blank), "Authority NAME
// changed successfuly !".
Sentence authorityChangeSentence(AuthorityChange change, std::string_view name);

// The authority of that name in root's ACCOUNTS (ignoring case), or the placeholder section.
ConfigSection* findAuthority(const ConfigSection& root, const std::string& name);

// The authorities of root's ACCOUNTS in slot order (value nodes there are no authorities).
std::vector<const ConfigSection*> listAuthorities(const ConfigSection& root);

// Adds an authority, in this order: name not empty, storable (isStorableName), no child of
// ACCOUNTS of that name being a section (ignoring case); ACCOUNTS is created when missing
// (kNoAccounts when a value node holds its place); kCannotAdd when a value node of ACCOUNTS
// holds the name. The new authority's int ExpirationRequired is expirationRequired.
AuthorityRefusal addAuthority(ConfigSection& root, const std::string& name, int expirationRequired);

// Removes the authority of that name with all its users. kNotFound, removing nothing, when
// there is no such section (a value node of that name stays).
AuthorityRefusal removeAuthority(ConfigSection& root, const std::string& name);

// Renames the authority name to newName (letter case included; newName may be its own name)
// and sets its int ExpirationRequired, in this order: the authority exists (kNotFound), newName
// is not empty and storable, no other child of ACCOUNTS holds newName (kAlreadyExists, since a
// second child of that name would hide one of the two from every lookup), and the policy can be
// stored (a user named ExpirationRequired holds its place: kPolicyNotStorable).
AuthorityRefusal changeAuthority(ConfigSection& root, const std::string& name,
                                 const std::string& newName, int expirationRequired);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_AUTHORITY_RULES_H_
