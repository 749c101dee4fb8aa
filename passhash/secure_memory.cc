#include "passhash/secure_memory.h"

#include <cstring>

namespace gatekeeper::passhash {

bool equalInConstantTime(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  volatile unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    difference = difference | static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return difference == 0;
}

void wipe(void* data, std::size_t size) {
  if (size == 0) return;
  std::memset(data, 0, size);
  // The compiler must assume that the zeroed bytes are read here, so it keeps the memset (one
  // call, not a byte loop through a volatile pointer).
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

}  // namespace gatekeeper::passhash
