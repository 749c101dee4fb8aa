// What the account database can hold as a name or as a text. The file format keeps a name on
// the line that opens its section ("{ name:") and a text after "=" on its value line, so a
// line break, a separator of the format or a leading blank in a name would be read back as
// something else, and the writer refuses to save a tree holding one. Pages check their fields
// with these before they change anything.
#ifndef GATEKEEPER_ACCOUNTDB_STORABLE_TEXT_H_
#define GATEKEEPER_ACCOUNTDB_STORABLE_TEXT_H_

#include <cstddef>
#include <string_view>

namespace gatekeeper::accountdb {

// The longest name or text the file format reads back whole.
inline constexpr std::size_t kLongestStorableField = 1023;

// Whether name can be stored as the name of a section or value (an NT account, an authority,
// a user, a binding host): no ":", ";", "=", "[", "]", carriage return or line feed, no leading
// blank (space or tab), and at most 1023 characters. The empty name passes (pages test
// emptiness themselves, with their own message).
bool isStorableName(std::string_view name);

// Whether text can be stored as a text value (a password): no carriage return or line feed,
// and at most 1023 characters.
bool isStorableText(std::string_view text);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_STORABLE_TEXT_H_
