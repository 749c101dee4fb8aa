// Case-insensitive comparison of names (sections, values, form fields, actions, server
// variables). Equality and ordering come from the same function everywhere.
#ifndef GATEKEEPER_PLATFORM_NAMES_H_
#define GATEKEEPER_PLATFORM_NAMES_H_

namespace gatekeeper::platform {

// Negative, zero or positive as a sorts before, equal to or after b, ignoring letter case.
// Windows: lstrcmpiA. Elsewhere: byte order after folding ASCII and ISO-8859-1 letters to
// lower case. Both arguments must be non-null, zero-terminated texts.
int compareNames(const char* a, const char* b);

inline bool namesEqual(const char* a, const char* b) { return compareNames(a, b) == 0; }

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_NAMES_H_
