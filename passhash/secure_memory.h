// Handling of secrets: comparison whose time does not depend on where two texts differ, and
// wiping of buffers that held a password or key.
#ifndef GATEKEEPER_PASSHASH_SECURE_MEMORY_H_
#define GATEKEEPER_PASSHASH_SECURE_MEMORY_H_

#include <cstddef>
#include <string_view>

namespace gatekeeper::passhash {

// Whether a and b are equal. The time taken depends on their lengths only, never on their
// contents (the lengths of a scheme's digests are public).
bool equalInConstantTime(std::string_view a, std::string_view b);

// Overwrites size bytes at data with zeros, in a way the optimizer does not remove.
void wipe(void* data, std::size_t size);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_SECURE_MEMORY_H_
