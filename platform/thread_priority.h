// The scheduling priority of a thread that works in the background while others serve requests.
#ifndef GATEKEEPER_PLATFORM_THREAD_PRIORITY_H_
#define GATEKEEPER_PLATFORM_THREAD_PRIORITY_H_

namespace gatekeeper::platform {

// Lowers the calling thread's priority for the rest of its life: the threads of the process
// that serve requests then get the processor first. It is never raised again (that would take
// privileges), so only a thread made for background work calls it. Does nothing where the
// system refuses.
void lowerThreadPriority();

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_THREAD_PRIORITY_H_
