#include "accountdb/user_entry.h"

#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"

namespace gatekeeper::accountdb {

void writeUserEntry(ConfigSection& user, const UserEntry& entry) {
  user.setString(kPassword, entry.password.c_str());
  user.setInt(kDoNotMap, entry.mapped ? 0 : 1);
  if (!readFlag(user, kDoNotMap)) user.setString(kMapTo, entry.ntAccount.c_str());
  user.setString(kExpireDate, entry.expireDate.c_str());
  user.setInt(kNoExpiration, entry.noExpiration);
  user.setInt(kDisabled, entry.disabled);
}

ConfigSection* findUser(const ConfigSection& authority, const std::string& name) {
  if (name.empty()) return nullSection();
  return authority.sectionByName(name.c_str());
}

bool isAuthorityValueName(const ConfigSection& authority, const std::string& name) {
  return !name.empty() && !authority.valueByName(name.c_str())->isPlaceholder();
}

}  // namespace gatekeeper::accountdb
