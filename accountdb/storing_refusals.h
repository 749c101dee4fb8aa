// The refusals of a name or a text that the account database cannot hold, in the system's own
// words, without markup: every program that stores a name or a password (the pages, the
// command line) words them so and presents them in its own form.
#ifndef GATEKEEPER_ACCOUNTDB_STORING_REFUSALS_H_
#define GATEKEEPER_ACCOUNTDB_STORING_REFUSALS_H_

#include <optional>
#include <string>
#include <string_view>

namespace gatekeeper::accountdb {

// "<label> contains characters that can not be stored !" when name cannot be stored as a name
// (isStorableName); nullopt when it can.
std::optional<std::string> unstorableNameRefusal(std::string_view label, std::string_view name);

// The same for the host of a site binding (isStorableBindingHost).
std::optional<std::string> unstorableBindingHostRefusal(std::string_view label,
                                                        std::string_view host);

// "Password is too long to be stored !" for a password longer than the format reads back,
// "Password can not contain line breaks !" for one holding a line break; nullptr when it can
// be stored (isStorableText).
const char* unstorablePasswordRefusal(std::string_view password);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_STORING_REFUSALS_H_
