// Memory services: handing freed memory back to the operating system.
#ifndef GATEKEEPER_PLATFORM_MEMORY_H_
#define GATEKEEPER_PLATFORM_MEMORY_H_

namespace gatekeeper::platform {

// Returns the free memory that the allocator still holds (in any thread's pool) to the
// operating system, so that a large structure just freed stops counting in the process's
// resident size. Costs time in proportion to the memory held: call it off the request path.
void releaseFreeMemory();

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_MEMORY_H_
