// Server variables of a CGI run (AUTH_USER, SCRIPT_NAME, ...), read from the process
// environment at the time of the call, names matched ignoring case.
#ifndef GATEKEEPER_WEBSUPPORT_SERVER_VARIABLES_H_
#define GATEKEEPER_WEBSUPPORT_SERVER_VARIABLES_H_

#include <optional>
#include <string>

namespace gatekeeper {

// The variable's value; nullopt when it is not set.
std::optional<std::string> serverVariable(const std::string& name);

// The variable's value as a text: the empty text when it is not set.
std::string serverText(const std::string& name);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_SERVER_VARIABLES_H_
