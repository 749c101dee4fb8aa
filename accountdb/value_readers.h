// How the programs read the values of the account database: a flag is the first int item of
// a value node (set when non-zero), a text its first string item. A missing value node, or one
// without an item of that type, reads as unset or as the empty text; so does every value of a
// missing section, because lookups in it yield placeholders.
#ifndef GATEKEEPER_ACCOUNTDB_VALUE_READERS_H_
#define GATEKEEPER_ACCOUNTDB_VALUE_READERS_H_

#include "configstore/config_section.h"
#include "configstore/config_value.h"

namespace gatekeeper::accountdb {

// Whether the value node is a set flag. A flag written as a string item ("1") is unset.
inline bool isFlagSet(const ConfigValue& value) { return value.getInt() != 0; }

// The value node's text; "" when it has no string item. Never nullptr; valid while the node
// lives unchanged.
inline const char* textOf(const ConfigValue& value) { return value.getString(); }

// The same for the value of that name (matched ignoring case) in a section.
inline bool readFlag(const ConfigSection& section, const char* valueName) {
  return isFlagSet(*section.valueByName(valueName));
}
inline const char* readText(const ConfigSection& section, const char* valueName) {
  return textOf(*section.valueByName(valueName));
}

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_VALUE_READERS_H_
