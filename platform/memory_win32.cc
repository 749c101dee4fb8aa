#include <malloc.h>

#include "platform/memory.h"

namespace gatekeeper::platform {

// The C runtime's heap gives its free pages back.
void releaseFreeMemory() { _heapmin(); }

}  // namespace gatekeeper::platform
