#include "accountdb/authority_rules.h"

#include "accountdb/database_names.h"
#include "accountdb/storing_refusals.h"

namespace gatekeeper::accountdb {
namespace {

Sentence words(std::string lead) { return {std::move(lead), "", "", "", "", 0}; }

Sentence authoritySentence(std::string_view name, const char* tail) {
  return {"Authority ", std::string(name), "", "", tail, 1};
}

constexpr char kNameLabel[] = "Authority name";

}  // namespace

Sentence authorityRefusalSentence(AuthorityRefusal refusal, std::string_view name,
                                  std::string_view newName) {
  switch (refusal) {
    case AuthorityRefusal::kNone:
      break;
    case AuthorityRefusal::kEmptyName:
      return words("Authority name can not be empty !");
    case AuthorityRefusal::kUnstorableName:
      return words(std::string(kNameLabel) + " contains characters that can not be stored !");
    case AuthorityRefusal::kAlreadyExists:
      return authoritySentence(newName, " already exist !");
    case AuthorityRefusal::kNoAccounts:
      return words(std::string("Internal error - can not add section ") + kAccounts + " !");
    case AuthorityRefusal::kCannotAdd:
      return words("Internal error - can not add section for new authority !");
    case AuthorityRefusal::kNotFound:
      return authoritySentence(name, " not found !");
    case AuthorityRefusal::kNewNameEmpty:
      return authoritySentence(name, " not changed - name can not be empty !");
    case AuthorityRefusal::kPolicyNotStorable:
      return words("Internal error - can not store the expiration policy !");
  }
  return words("");
}

Sentence authorityChangeSentence(AuthorityChange change, std::string_view name) {
  switch (change) {
    case AuthorityChange::kAdded:
      return authoritySentence(name, " created.");
    case AuthorityChange::kDeleted:
      return authoritySentence(name, " deleted. ");
    case AuthorityChange::kChanged:
      break;
  }
  return authoritySentence(name, " changed successfuly !");
}

ConfigSection* findAuthority(const ConfigSection& root, const std::string& name) {
  return root.sectionByName(kAccounts)->sectionByName(name.c_str());
}

std::vector<const ConfigSection*> listAuthorities(const ConfigSection& root) {
  const ConfigSection& accounts = *root.sectionByName(kAccounts);
  std::vector<const ConfigSection*> list;
  for (int32_t slot = 1; slot <= accounts.count(); ++slot) {
    const ConfigSection* authority = accounts.sectionByIndex(slot);
    if (!authority->isPlaceholder()) list.push_back(authority);
  }
  return list;
}

AuthorityRefusal addAuthority(ConfigSection& root, const std::string& name,
                              int expirationRequired) {
  if (name.empty()) return AuthorityRefusal::kEmptyName;
  if (unstorableNameRefusal(kNameLabel, name)) return AuthorityRefusal::kUnstorableName;
  if (!findAuthority(root, name)->isPlaceholder()) return AuthorityRefusal::kAlreadyExists;
  ConfigSection* accounts = root.getOrCreateSection(kAccounts);
  if (accounts == nullptr) return AuthorityRefusal::kNoAccounts;
  ConfigSection* authority = accounts->getOrCreateSection(name.c_str());
  if (authority == nullptr) return AuthorityRefusal::kCannotAdd;
  authority->setInt(kExpirationRequired, expirationRequired);
  return AuthorityRefusal::kNone;
}

AuthorityRefusal removeAuthority(ConfigSection& root, const std::string& name) {
  if (findAuthority(root, name)->isPlaceholder()) return AuthorityRefusal::kNotFound;
  root.sectionByName(kAccounts)->deleteByName(name.c_str());
  return AuthorityRefusal::kNone;
}

AuthorityRefusal changeAuthority(ConfigSection& root, const std::string& name,
                                 const std::string& newName, int expirationRequired) {
  ConfigSection* accounts = root.sectionByName(kAccounts);
  ConfigSection* authority = accounts->sectionByName(name.c_str());
  if (authority->isPlaceholder()) return AuthorityRefusal::kNotFound;
  if (newName.empty()) return AuthorityRefusal::kNewNameEmpty;
  if (unstorableNameRefusal(kNameLabel, newName)) return AuthorityRefusal::kUnstorableName;
  // The authority's own name in other letter case is no conflict.
  const NamedObject* holder = accounts->getByName(newName.c_str());
  if (holder != nullptr && holder != authority) return AuthorityRefusal::kAlreadyExists;
  if (!authority->setInt(kExpirationRequired, expirationRequired)) {
    return AuthorityRefusal::kPolicyNotStorable;
  }
  authority->rename(newName.c_str());
  return AuthorityRefusal::kNone;
}

}  // namespace gatekeeper::accountdb
