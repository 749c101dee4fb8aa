#include "platform/names.h"

#include <array>

namespace gatekeeper::platform {
namespace internal {

namespace {

// Lower case of each byte: ASCII A-Z, and the ISO-8859-1 capitals 0xC0-0xDE except the
// multiplication sign 0xD7, which map 0x20 higher.
constexpr std::array<unsigned char, 256> foldedBytes() {
  std::array<unsigned char, 256> table{};
  for (unsigned c = 0; c < 256; ++c) {
    const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    table[c] = static_cast<unsigned char>(capital ? c + 0x20 : c);
  }
  return table;
}

}  // namespace

const std::array<unsigned char, 256> kFoldedBytes = foldedBytes();

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
