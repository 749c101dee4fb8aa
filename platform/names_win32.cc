#include "platform/names.h"

#include <windows.h>

namespace gatekeeper::platform {

int compareNames(const char* a, const char* b) { return lstrcmpiA(a, b); }

bool nameHash(const char* name, std::uint64_t* hash) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (const auto* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    unsigned char c = *p;
    if (c < 0x20 || c > 0x7E) return false;
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + ('a' - 'A'));
    h = (h ^ c) * 1099511628211ull;
  }
  *hash = h;
  return true;
}

}  // namespace gatekeeper::platform
