#include "platform/environment.h"

#include <stdlib.h>

namespace gatekeeper::platform {

// The C runtime's environment ignores letter case in names on Windows.
std::optional<std::string> environmentVariable(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (const char* value = getenv(name.c_str())) return std::string(value);
  return std::nullopt;
}

// _putenv_s keeps the runtime's copy and the process environment in step; an empty value
// removes the variable, so an empty text cannot be stored (Windows has no empty variables).
bool setEnvironmentVariable(const std::string& name, const char* value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  return _putenv_s(name.c_str(), value == nullptr ? "" : value) == 0;
}

}  // namespace gatekeeper::platform
