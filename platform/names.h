// Case-insensitive comparison of names (sections, values, form fields, actions, server
// variables). Equality and ordering come from the same function everywhere.
#ifndef GATEKEEPER_PLATFORM_NAMES_H_
#define GATEKEEPER_PLATFORM_NAMES_H_

#include <array>
#include <cstdint>

namespace gatekeeper::platform {

// Negative, zero or positive as a sorts before, equal to or after b, ignoring letter case.
// Windows: lstrcmpiA. Elsewhere: byte order after folding ASCII and ISO-8859-1 letters to
// lower case. Both arguments must be non-null, zero-terminated texts.
int compareNames(const char* a, const char* b);

#ifdef _WIN32
inline bool namesEqual(const char* a, const char* b) { return compareNames(a, b) == 0; }
#else
namespace internal {
// Each byte folded as compareNames folds it.
extern const std::array<unsigned char, 256> kFoldedBytes;
}  // namespace internal

// compareNames(a, b) == 0, inline: names are compared on every lookup of a small section.
inline bool namesEqual(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    const unsigned char c = internal::kFoldedBytes[*x];
    if (c != internal::kFoldedBytes[*y]) return false;
    if (c == 0) return true;
  }
}
#endif

// A hash of a name for hash indexes of names, consistent with namesEqual: two names that both
// get a hash and are equal get the same hash. false when the platform's comparison cannot be
// reduced to a hash for this name; an index then compares such names one by one.
// Elsewhere than Windows every name gets a hash (of its folded bytes). On Windows lstrcmpiA
// follows the user's locale (ligatures, ignorable characters), so only names made of printable
// ASCII characters get one: for those the comparison reduces to folding A-Z.
bool nameHash(const char* name, std::uint64_t* hash);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_NAMES_H_
