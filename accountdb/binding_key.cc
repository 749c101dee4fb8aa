#include "accountdb/binding_key.h"

#include "platform/names.h"

namespace gatekeeper::accountdb {

std::string bindingKey(std::string_view host, const char* port) {
  std::string key(host);
  if (port != nullptr && !platform::namesEqual(port, "80")) {
    key += '|';
    key += port;
  }
  return key;
}

}  // namespace gatekeeper::accountdb
