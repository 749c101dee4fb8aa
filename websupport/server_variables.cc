#include "websupport/server_variables.h"

#include "platform/environment.h"

namespace gatekeeper {

std::optional<std::string> serverVariable(const std::string& name) {
  return platform::environmentVariable(name);
}

std::string serverText(const std::string& name) { return serverVariable(name).value_or(""); }

}  // namespace gatekeeper
