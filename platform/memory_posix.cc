#include "platform/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace gatekeeper::platform {

void releaseFreeMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

}  // namespace gatekeeper::platform
