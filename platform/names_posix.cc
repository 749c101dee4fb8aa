#include "platform/names.h"


namespace gatekeeper::platform {
namespace internal {

// Lower case of each byte: ASCII A-Z, and the ISO-8859-1 capitals 0xC0-0xDE except the
// multiplication sign 0xD7, which map 0x20 higher.
const unsigned char kFoldedBytes[256] = {
#define GATEKEEPER_FOLD(c)                                                          \
  static_cast<unsigned char>(((c) >= 'A' && (c) <= 'Z') ||                          \
                                     ((c) >= 0xC0 && (c) <= 0xDE && (c) != 0xD7)   \
                                 ? (c) + 0x20                                        \
                                 : (c))
#define GATEKEEPER_FOLD4(c) \
  GATEKEEPER_FOLD(c), GATEKEEPER_FOLD((c) + 1), GATEKEEPER_FOLD((c) + 2), GATEKEEPER_FOLD((c) + 3)
#define GATEKEEPER_FOLD16(c) \
  GATEKEEPER_FOLD4(c), GATEKEEPER_FOLD4((c) + 4), GATEKEEPER_FOLD4((c) + 8), GATEKEEPER_FOLD4((c) + 12)
    GATEKEEPER_FOLD16(0x00), GATEKEEPER_FOLD16(0x10), GATEKEEPER_FOLD16(0x20),
    GATEKEEPER_FOLD16(0x30), GATEKEEPER_FOLD16(0x40), GATEKEEPER_FOLD16(0x50),
    GATEKEEPER_FOLD16(0x60), GATEKEEPER_FOLD16(0x70), GATEKEEPER_FOLD16(0x80),
    GATEKEEPER_FOLD16(0x90), GATEKEEPER_FOLD16(0xA0), GATEKEEPER_FOLD16(0xB0),
    GATEKEEPER_FOLD16(0xC0), GATEKEEPER_FOLD16(0xD0), GATEKEEPER_FOLD16(0xE0),
    GATEKEEPER_FOLD16(0xF0),
#undef GATEKEEPER_FOLD16
#undef GATEKEEPER_FOLD4
#undef GATEKEEPER_FOLD
};

}  // namespace internal

bool nameHash(const char* name, std::uint64_t* hash) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (const auto* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    h = (h ^ internal::kFoldedBytes[*p]) * 1099511628211ull;
  }
  *hash = h;
  return true;
}

int compareNames(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    const int cx = internal::kFoldedBytes[*x];
    const int cy = internal::kFoldedBytes[*y];
    if (cx != cy) return cx - cy;
    if (cx == 0) return 0;
  }
}

}  // namespace gatekeeper::platform
