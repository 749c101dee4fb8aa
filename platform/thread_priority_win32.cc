#include "platform/thread_priority.h"

#include <windows.h>

namespace gatekeeper::platform {

void lowerThreadPriority() {
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace gatekeeper::platform
