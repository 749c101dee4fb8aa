#include "platform/environment.h"

#include <stdlib.h>
#include <string.h>

#include "platform/names.h"

extern char** environ;

namespace gatekeeper::platform {

std::optional<std::string> environmentVariable(const std::string& name) {
  if (const char* exact = getenv(name.c_str())) return std::string(exact);
  if (name.empty()) return std::nullopt;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* equals = strchr(*entry, '=');
    if (equals == nullptr) continue;
    const std::string entryName(*entry, static_cast<std::size_t>(equals - *entry));
    if (namesEqual(entryName.c_str(), name.c_str())) return std::string(equals + 1);
  }
  return std::nullopt;
}

bool setEnvironmentVariable(const std::string& name, const char* value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  if (value == nullptr) return unsetenv(name.c_str()) == 0;
  return setenv(name.c_str(), value, 1) == 0;
}

}  // namespace gatekeeper::platform
