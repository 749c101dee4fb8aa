// Random bytes from the operating system's cryptographic source (getrandom on Linux,
// BCryptGenRandom on Windows), for salts and secret keys.
#ifndef GATEKEEPER_PLATFORM_RANDOM_BYTES_H_
#define GATEKEEPER_PLATFORM_RANDOM_BYTES_H_

#include <cstddef>

namespace gatekeeper::platform {

// Fills buffer with size random bytes; false when the system cannot give them.
bool fillRandomBytes(void* buffer, std::size_t size);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_RANDOM_BYTES_H_
