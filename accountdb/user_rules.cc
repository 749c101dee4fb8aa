#include "accountdb/user_rules.h"

#include "accountdb/database_names.h"
#include "accountdb/storing_refusals.h"
#include "accountdb/value_readers.h"
#include "passhash/password_hash.h"

namespace gatekeeper::accountdb {
namespace {

Sentence words(std::string lead) { return {std::move(lead), "", "", "", "", 0}; }

Sentence twoNames(const char* lead, std::string_view first, const char* middle,
                  std::string_view second) {
  return {lead, std::string(first), middle, std::string(second), "", 2};
}

}  // namespace

Sentence refusalSentence(UserRefusal refusal, std::string_view user, std::string_view authority,
                         std::string_view password) {
  switch (refusal) {
    case UserRefusal::kNone:
      break;
    case UserRefusal::kAuthorityNotFound:
      return {"Authority ", std::string(authority), "", "", " not found !", 1};
    case UserRefusal::kEmptyName:
      return words("User name can not be empty !");
    case UserRefusal::kUnstorableName:
      return words(unstorableNameRefusal("User name", user).value_or(""));
    case UserRefusal::kUnstorablePassword: {
      const char* text = unstorablePasswordRefusal(password);
      return words(text != nullptr ? text : "");
    }
    case UserRefusal::kPasswordLikeHash:
      return words(passwordRefusalText(PasswordRefusal::kLooksLikeHash, password));
    case UserRefusal::kPasswordNotHashed:
      return words(passwordRefusalText(PasswordRefusal::kNotHashed, password));
    case UserRefusal::kAlreadyExists:
      return twoNames("User ", user, " already exist in authority ", authority);
    case UserRefusal::kNoSuchUser:
      return twoNames("User ", user, " does not exist in authority ", authority);
  }
  return words("");
}

Sentence changeSentence(UserChange change, std::string_view user, std::string_view authority) {
  switch (change) {
    case UserChange::kAdded:
      return twoNames("User ", user, " added to authority ", authority);
    case UserChange::kChanged:
      return twoNames("User ", user, " changed in authority ", authority);
    case UserChange::kDeleted:
      break;
  }
  return twoNames("User ", user, " deleted from authority ", authority);
}

const char* expiryWarningText(ExpiryDateWarning warning) {
  switch (warning) {
    case ExpiryDateWarning::kUnreadable:
      return "Date format specified can not be recognized - user authentication will fail if "
             "expiration is enabled !";
    case ExpiryDateWarning::kAfterLastYear:
      return "Dates after year 2037 not supported - user authentication will fail if expiration "
             "is enabled !";
    case ExpiryDateWarning::kNone:
      break;
  }
  return nullptr;
}

UserRefusal checkUserEntry(const ConfigSection& authority, const std::string& name,
                           const std::string& password) {
  if (authority.isPlaceholder()) return UserRefusal::kAuthorityNotFound;
  if (name.empty()) return UserRefusal::kEmptyName;
  if (unstorableNameRefusal("", name)) return UserRefusal::kUnstorableName;
  if (unstorablePasswordRefusal(password) != nullptr) return UserRefusal::kUnstorablePassword;
  if (passhash::isPasswordHash(password)) return UserRefusal::kPasswordLikeHash;
  return UserRefusal::kNone;
}

UserRefusal userRefusalOf(PasswordRefusal refusal) {
  switch (refusal) {
    case PasswordRefusal::kNone:
      break;
    case PasswordRefusal::kUnstorable:
      return UserRefusal::kUnstorablePassword;
    case PasswordRefusal::kLooksLikeHash:
      return UserRefusal::kPasswordLikeHash;
    case PasswordRefusal::kNotHashed:
    case PasswordRefusal::kSectionInTheWay:  // never for a user section the rules write whole
      return UserRefusal::kPasswordNotHashed;
  }
  return UserRefusal::kNone;
}

UserRefusal addUser(ConfigSection& authority, const std::string& name, const UserEntry& entry,
                    const PasswordStorage& storage) {
  const UserRefusal refusal = checkUserEntry(authority, name, entry.password);
  if (refusal != UserRefusal::kNone) return refusal;
  if (!findUser(authority, name)->isPlaceholder() || isAuthorityValueName(authority, name)) {
    return UserRefusal::kAlreadyExists;
  }
  UserEntry toStore = entry;
  const PasswordRefusal hashing = preparePassword(storage, entry.password, &toStore.password);
  if (hashing != PasswordRefusal::kNone) return userRefusalOf(hashing);
  writeUserEntry(*authority.getOrCreateSection(name.c_str()), toStore);
  return UserRefusal::kNone;
}

UserRefusal replaceUser(ConfigSection& authority, const std::string& name, const UserEntry& entry,
                        ConfigSection** stored, const PasswordStorage& storage) {
  const UserRefusal refusal = checkUserEntry(authority, name, entry.password);
  if (refusal != UserRefusal::kNone) return refusal;
  if (isAuthorityValueName(authority, name)) return UserRefusal::kAlreadyExists;
  const ConfigSection& existing = *findUser(authority, name);
  UserEntry toStore = entry;
  if (entry.password.empty() && !existing.isPlaceholder() &&
      emptyPasswordKeepsStored(storage, existing)) {
    toStore.password = readText(existing, kPassword);
  } else {
    const PasswordRefusal hashing = preparePassword(storage, entry.password, &toStore.password);
    if (hashing != PasswordRefusal::kNone) return userRefusalOf(hashing);
  }
  // The entry is replaced whole, in the slot of the old one, so the user keeps its place.
  ConfigSection* user = nullptr;
  if (existing.isPlaceholder()) {
    user = authority.getOrCreateSection(name.c_str());
  } else {
    const int32_t slot = authority.indexOfName(name.c_str());
    authority.setAtIndex(slot, new ConfigSection(name.c_str()));
    user = authority.sectionByIndex(slot);
  }
  writeUserEntry(*user, toStore);
  if (stored != nullptr) *stored = user;
  return UserRefusal::kNone;
}

UserRefusal removeUser(ConfigSection& authority, const std::string& name) {
  if (authority.isPlaceholder()) return UserRefusal::kAuthorityNotFound;
  ConfigSection* user = findUser(authority, name);
  if (!user->isPlaceholder()) authority.removeObject(user);
  return UserRefusal::kNone;
}

UserEntry readUserEntry(const ConfigSection& user) {
  UserEntry entry;
  entry.password = readText(user, kPassword);
  entry.mapped = !readFlag(user, kDoNotMap);
  entry.ntAccount = readText(user, kMapTo);
  entry.expireDate = readText(user, kExpireDate);
  entry.noExpiration = user.valueByName(kNoExpiration)->getInt();
  entry.disabled = user.valueByName(kDisabled)->getInt();
  return entry;
}

}  // namespace gatekeeper::accountdb
