#include <windows.h>
#include <bcrypt.h>

#include "platform/random_bytes.h"

namespace gatekeeper::platform {

bool fillRandomBytes(void* buffer, std::size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    out += piece;
    size -= piece;
  }
  return true;
}

}  // namespace gatekeeper::platform
