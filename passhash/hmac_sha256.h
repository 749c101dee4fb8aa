// HMAC-SHA-256 (RFC 2104 over FIPS 180-4's SHA-256), for digests keyed by a secret.
#ifndef GATEKEEPER_PASSHASH_HMAC_SHA256_H_
#define GATEKEEPER_PASSHASH_HMAC_SHA256_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace gatekeeper::passhash {

using Sha256Digest = std::array<std::uint8_t, 32>;

// HMAC-SHA-256 of message under key (any length).
Sha256Digest hmacSha256(std::string_view key, std::string_view message);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_HMAC_SHA256_H_
