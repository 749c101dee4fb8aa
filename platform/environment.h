// The process environment: the variables through which a web server describes a CGI request.
#ifndef GATEKEEPER_PLATFORM_ENVIRONMENT_H_
#define GATEKEEPER_PLATFORM_ENVIRONMENT_H_

#include <optional>
#include <string>

namespace gatekeeper::platform {

// The value of an environment variable at the time of the call, its name matched ignoring
// letter case (an exact match is preferred); nullopt when no such variable is set.
std::optional<std::string> environmentVariable(const std::string& name);

// Sets a variable of this process, or removes it when value is null. false when the
// environment refused the change (an empty name, or a name holding "=").
bool setEnvironmentVariable(const std::string& name, const char* value);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_ENVIRONMENT_H_
