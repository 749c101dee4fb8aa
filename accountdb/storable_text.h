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
// a user, a binding host): no ":", ";", "=", "[" or "]", no control character (C0, DEL and
// C1: 0x00 to 0x1F, 0x7F, 0x80 to 0x9F, line breaks, tab, vertical tab, form feed and NEL
// included), no blank at its start or end, and at most 1023 characters. Names compare
// ignoring case only, so "bob " or "bob\v" would be a second user beside bob that a person
// cannot tell from him, and a trailing blank does not survive every reader. The empty name
// passes (pages test emptiness themselves, with their own message).
bool isStorableName(std::string_view name);

// Whether host can be the host of a site binding: a storable name without "|", which separates
// the host from the port in the binding key (accountdb/binding_key.h), so that one site's host
// cannot spell another site's key.
bool isStorableBindingHost(std::string_view host);

// Whether text can be stored as a text value (a password): no carriage return or line feed,
// and at most 1023 characters.
bool isStorableText(std::string_view text);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_STORABLE_TEXT_H_
