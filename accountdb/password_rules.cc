#include "accountdb/password_rules.h"

#include <optional>

#include "accountdb/database_names.h"
#include "accountdb/storing_refusals.h"
#include "accountdb/value_readers.h"
#include "passhash/password_hash.h"

namespace gatekeeper::accountdb {

PasswordStorage passwordStorage(const ConfigSection& database) {
  return {readFlag(*database.sectionByName(kMain), kHashPasswords)};
}

std::string passwordRefusalText(PasswordRefusal refusal, std::string_view password) {
  switch (refusal) {
    case PasswordRefusal::kNone:
      break;
    case PasswordRefusal::kUnstorable: {
      const char* text = unstorablePasswordRefusal(password);
      return text != nullptr ? text : "";
    }
    case PasswordRefusal::kLooksLikeHash:
      return "Password can not have the form of a password hash !";
    case PasswordRefusal::kNotHashed:
      return "Password could not be hashed - the change was not stored !";
    case PasswordRefusal::kSectionInTheWay:
      return std::string("a section of the user holds the name ") + kPassword;
  }
  return "";
}

PasswordRefusal preparePassword(const PasswordStorage& storage, std::string_view password,
                                std::string* stored) {
  if (unstorablePasswordRefusal(password) != nullptr) return PasswordRefusal::kUnstorable;
  if (passhash::isPasswordHash(password)) return PasswordRefusal::kLooksLikeHash;
  if (!storage.hashed || password.empty()) {
    *stored = std::string(password);
    return PasswordRefusal::kNone;
  }
  std::optional<std::string> hash = passhash::hashPassword(password);
  if (!hash) return PasswordRefusal::kNotHashed;
  *stored = std::move(*hash);
  return PasswordRefusal::kNone;
}

bool emptyPasswordKeepsStored(const PasswordStorage& storage, const ConfigSection& user) {
  return storage.hashed || passhash::isPasswordHash(readText(user, kPassword));
}

PasswordRefusal setUserPassword(ConfigSection& user, const PasswordStorage& storage,
                                std::string_view password) {
  std::string stored;
  const PasswordRefusal refusal = preparePassword(storage, password, &stored);
  if (refusal != PasswordRefusal::kNone) return refusal;
  if (user.setString(kPassword, stored.c_str()) == 0) return PasswordRefusal::kSectionInTheWay;
  return PasswordRefusal::kNone;
}

RehashCount rehashPasswords(ConfigSection& authority) {
  RehashCount count;
  for (int32_t slot = 1; slot <= authority.count(); ++slot) {
    ConfigSection* user = authority.sectionByIndex(slot);
    if (user->isPlaceholder()) continue;
    const std::string password = readText(*user, kPassword);
    if (password.empty() || passhash::isPasswordHash(password)) continue;
    const std::optional<std::string> hash = passhash::hashPassword(password);
    if (!hash) {
      ++count.failed;
      continue;
    }
    user->setString(kPassword, hash->c_str());
    ++count.hashed;
  }
  return count;
}

}  // namespace gatekeeper::accountdb
