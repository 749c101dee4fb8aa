#include <sys/random.h>

#include <cerrno>

#include "platform/random_bytes.h"

namespace gatekeeper::platform {

bool fillRandomBytes(void* buffer, std::size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ssize_t got = ::getrandom(out, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace gatekeeper::platform
