// The running process, the other processes of this machine and the machine's name: what a lock
// shared between the hosts of a farm records about its holder.
#ifndef GATEKEEPER_PLATFORM_PROCESS_H_
#define GATEKEEPER_PLATFORM_PROCESS_H_

#include <cstdint>
#include <string>

namespace gatekeeper::platform {

// The id of the calling process.
std::int64_t currentProcessId();

// Whether a process of that id runs on this machine now. A process that exists but cannot be
// examined (another user's) counts as running.
bool processRuns(std::int64_t processId);

// The machine's host name as the network knows it; "" when it cannot be told.
std::string hostName();

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_PROCESS_H_
