#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include "platform/process.h"

namespace gatekeeper::platform {

std::int64_t currentProcessId() { return static_cast<std::int64_t>(::getpid()); }

bool processRuns(std::int64_t processId) {
  if (processId <= 0 || processId > INT_MAX) return false;
  if (processId == currentProcessId()) return true;
  // Signal 0 checks that the process exists without sending anything; EPERM: it exists but
  // belongs to another user.
  return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

std::string hostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

}  // namespace gatekeeper::platform
