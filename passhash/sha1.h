// SHA-1 (FIPS 180-4), only for Apache's {SHA} password form: not for anything new.
#ifndef GATEKEEPER_PASSHASH_SHA1_H_
#define GATEKEEPER_PASSHASH_SHA1_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace gatekeeper::passhash {

using Sha1Digest = std::array<std::uint8_t, 20>;

Sha1Digest sha1(std::string_view message);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_SHA1_H_
