#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace gatekeeper::platform {

void lowerThreadPriority() {
#ifdef __linux__
  // On Linux a nice value belongs to the thread named by its id: the process's other threads
  // keep theirs. Ten steps down gives the thread about a tenth of the share of one at 0.
  constexpr int kBackground = 10;
  const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, thread);
  if (errno == 0 && current < kBackground) ::setpriority(PRIO_PROCESS, thread, kBackground);
#endif
}

}  // namespace gatekeeper::platform
