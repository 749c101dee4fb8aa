#include "platform/standard_streams.h"

namespace gatekeeper::platform {

// POSIX streams carry bytes unchanged.
void useBinaryStandardStreams() {}

}  // namespace gatekeeper::platform
