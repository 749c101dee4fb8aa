#include "platform/names.h"

namespace gatekeeper::platform {
namespace {

// Lower case of one byte: ASCII A-Z, and the ISO-8859-1 capitals 0xC0-0xDE except the
// multiplication sign 0xD7, which map 0x20 higher.
unsigned char foldByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + ('a' - 'A'));
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  return c;
}

}  // namespace

bool nameHash(const char* name, std::uint64_t* hash) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (const auto* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    h = (h ^ foldByte(*p)) * 1099511628211ull;
  }
  *hash = h;
  return true;
}

int compareNames(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    const int cx = foldByte(*x);
    const int cy = foldByte(*y);
    if (cx != cy) return cx - cy;
    if (cx == 0) return 0;
  }
}

}  // namespace gatekeeper::platform
