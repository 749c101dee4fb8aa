// A user entry as the user pages write it: the section named by the user name inside the
// authority's section, holding its values in a fixed order.
#ifndef GATEKEEPER_ACCOUNTDB_USER_ENTRY_H_
#define GATEKEEPER_ACCOUNTDB_USER_ENTRY_H_

#include <cstdint>
#include <string>

#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// The values of one user, as a form gives them.
struct UserEntry {
  std::string password;
  bool mapped = true;       // false: DoNotMap 1, the server checks the credentials itself
  std::string ntAccount;    // MapTo, stored only for a mapped user
  std::string expireDate;   // stored exactly as typed, possibly empty
  std::int32_t noExpiration = 0;
  std::int32_t disabled = 0;
};

// Writes the entry's values into an empty user section, in this order: Password, DoNotMap
// (0 mapped, 1 not), MapTo only when DoNotMap reads back 0, expiredate, noexpiration,
// disabled. An empty password, NT account or date is written as an empty text.
void writeUserEntry(ConfigSection& user, const UserEntry& entry);

// The user section of that name in an authority: a child section, never one of the
// authority's own values. nullSection() when there is none or name is empty.
ConfigSection* findUser(const ConfigSection& authority, const std::string& name);

// Whether name is held by one of the authority's own values (ExpirationRequired and the like),
// so no user of that name can be created.
bool isAuthorityValueName(const ConfigSection& authority, const std::string& name);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_USER_ENTRY_H_
