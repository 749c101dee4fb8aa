#include "accountdb/nt_account_rules.h"

#include "accountdb/database_names.h"
#include "accountdb/storable_text.h"
#include "accountdb/storing_refusals.h"
#include "accountdb/value_readers.h"
#include "platform/names.h"

namespace gatekeeper::accountdb {
namespace {

Sentence words(std::string text) { return {std::move(text), "", "", "", "", 0}; }

Sentence oneName(const char* lead, std::string_view name, const char* tail) {
  return {lead, std::string(name), "", "", tail, 1};
}

// The first failing check of a password and its confirmation.
NtAccountRefusal checkPasswordEntries(const std::string& password,
                                      const std::string& confirmation) {
  if (password != confirmation) return NtAccountRefusal::kPasswordsDiffer;
  if (unstorablePasswordRefusal(password) != nullptr) return NtAccountRefusal::kUnstorablePassword;
  return NtAccountRefusal::kNone;
}

}  // namespace

Sentence ntAccountRefusalSentence(NtAccountRefusal refusal, std::string_view password) {
  switch (refusal) {
    case NtAccountRefusal::kNone:
      break;
    case NtAccountRefusal::kEmptyName:
      return words("User name not specified !");
    case NtAccountRefusal::kNotFound:
      return words("User name not found !");
    case NtAccountRefusal::kUnstorableName:
      return words("User name contains characters that can not be stored !");
    case NtAccountRefusal::kPasswordsDiffer:
      return words("Password entries do not match !");
    case NtAccountRefusal::kUnstorablePassword: {
      const char* text = unstorablePasswordRefusal(password);
      return words(text != nullptr ? text : "");
    }
    case NtAccountRefusal::kAlreadyExists:
      return words("Account allready exist !");
    case NtAccountRefusal::kNoAccountsSection:
      return words(std::string("Internal error - can not add section ") + kNtAccounts + " !");
    case NtAccountRefusal::kCannotAddAccount:
      return words("Internal error - can not add section for new NT account !");
    case NtAccountRefusal::kCannotStorePassword:
      return words("Internal error - can not store the password !");
  }
  return words("");
}

Sentence ntAccountChangeSentence(NtAccountChange change, std::string_view name) {
  switch (change) {
    case NtAccountChange::kAdded:
      return oneName("NT Account ", name, " added successfuly. ");
    case NtAccountChange::kPasswordChanged:
      return oneName("Password of NT Account ", name, " changed successfuly. ");
    case NtAccountChange::kDeleted:
      break;
  }
  return words("Account deleted.");
}

NtAccountRefusal addNtAccount(ConfigSection& database, const std::string& name,
                              const std::string& password, const std::string& confirmation) {
  if (name.empty()) return NtAccountRefusal::kEmptyName;
  if (!isStorableName(name)) return NtAccountRefusal::kUnstorableName;
  if (const NtAccountRefusal refusal = checkPasswordEntries(password, confirmation);
      refusal != NtAccountRefusal::kNone) {
    return refusal;
  }
  if (!database.sectionByName(kNtAccounts)->sectionByName(name.c_str())->isPlaceholder()) {
    return NtAccountRefusal::kAlreadyExists;
  }
  ConfigSection* accounts = database.getOrCreateSection(kNtAccounts);
  if (accounts == nullptr) return NtAccountRefusal::kNoAccountsSection;
  ConfigSection* account = accounts->getOrCreateSection(name.c_str());
  if (account == nullptr) return NtAccountRefusal::kCannotAddAccount;
  account->setString(kPassword, password.c_str());
  return NtAccountRefusal::kNone;
}

NtAccountRefusal changeNtAccountPassword(ConfigSection& database, const std::string& name,
                                         const std::string& password,
                                         const std::string& confirmation) {
  ConfigSection* account = database.sectionByName(kNtAccounts)->sectionByName(name.c_str());
  if (account->isPlaceholder()) return NtAccountRefusal::kNotFound;
  if (const NtAccountRefusal refusal = checkPasswordEntries(password, confirmation);
      refusal != NtAccountRefusal::kNone) {
    return refusal;
  }
  if (!account->setString(kPasswordWrittenByChange, password.c_str())) {
    return NtAccountRefusal::kCannotStorePassword;
  }
  return NtAccountRefusal::kNone;
}

void removeNtAccount(ConfigSection& database, const std::string& name) {
  ConfigSection& accounts = *database.sectionByName(kNtAccounts);
  if (!accounts.sectionByName(name.c_str())->isPlaceholder()) accounts.deleteByName(name.c_str());
}

std::vector<const ConfigSection*> ntAccounts(const ConfigSection& database) {
  std::vector<const ConfigSection*> accounts;
  const ConfigSection& section = *database.sectionByName(kNtAccounts);
  for (int32_t slot = 1; slot <= section.count(); ++slot) {
    const ConfigSection* account = section.sectionByIndex(slot);
    if (!account->isPlaceholder()) accounts.push_back(account);
  }
  return accounts;
}

std::vector<MappedUser> usersMappedTo(const ConfigSection& database, std::string_view name) {
  std::vector<MappedUser> users;
  const std::string wanted(name);
  const ConfigSection& authorities = *database.sectionByName(kAccounts);
  for (int32_t a = 1; a <= authorities.count(); ++a) {
    const ConfigSection* authority = authorities.sectionByIndex(a);
    if (authority->isPlaceholder()) continue;
    for (int32_t u = 1; u <= authority->count(); ++u) {
      const ConfigSection* user = authority->sectionByIndex(u);
      if (user->isPlaceholder() || readFlag(*user, kDoNotMap)) continue;
      if (platform::namesEqual(readText(*user, kMapTo), wanted.c_str())) {
        users.push_back({authority->name() != nullptr ? authority->name() : "",
                         user->name() != nullptr ? user->name() : ""});
      }
    }
  }
  return users;
}

}  // namespace gatekeeper::accountdb
