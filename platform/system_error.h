// The system's own words for why an operation failed, for diagnostics that name a file and the
// reason (the error log of the web server, standard error of the programs).
#ifndef GATEKEEPER_PLATFORM_SYSTEM_ERROR_H_
#define GATEKEEPER_PLATFORM_SYSTEM_ERROR_H_

#include <string>

namespace gatekeeper::platform {

// The calling thread's last system error code (errno; GetLastError on Windows). Read it right
// after the call that failed: later calls may change it.
int lastSystemError();

// The system's message for an error code, e.g. "Permission denied", without a trailing line
// break; "error N" when the system has no text for it.
std::string systemErrorText(int code);

// Why the file at path cannot be opened for reading, as the system says; empty when it can.
std::string readProblem(const std::string& path);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_SYSTEM_ERROR_H_
