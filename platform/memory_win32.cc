#include <windows.h>

#include "platform/memory.h"

namespace gatekeeper::platform {

void releaseFreeMemory() { HeapCompact(GetProcessHeap(), 0); }

}  // namespace gatekeeper::platform
