// PBKDF2 (RFC 8018 section 5.2) with HMAC-SHA-256 as its pseudorandom function, in portable
// code: each round costs two SHA-256 compressions, the key's HMAC states being computed once.
#ifndef GATEKEEPER_PASSHASH_PBKDF2_H_
#define GATEKEEPER_PASSHASH_PBKDF2_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gatekeeper::passhash {

// Derives size bytes from password and salt in rounds iterations (rounds >= 1; 0 is taken as
// 1) into out.
void pbkdf2HmacSha256(std::string_view password, std::string_view salt, std::uint32_t rounds,
                      std::uint8_t* out, std::size_t size);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_PBKDF2_H_
