// The binding key of a site: the name of its value in MAIN/SERVERS.
#ifndef GATEKEEPER_ACCOUNTDB_BINDING_KEY_H_
#define GATEKEEPER_ACCOUNTDB_BINDING_KEY_H_

#include <string>
#include <string_view>

namespace gatekeeper::accountdb {

// The host exactly as given (a host name or an IP address), followed by "|" and the port text
// unless port is nullptr or the text "80": host intranet on port 8080 gives "intranet|8080".
// The filter passes SERVER_PORT as the server reports it (nullptr when it cannot be read), so
// "080" or "443" adds a suffix. The administration page passes nullptr when its Port field
// reads as the number 80, else the field as typed.
std::string bindingKey(std::string_view host, const char* port);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_BINDING_KEY_H_
