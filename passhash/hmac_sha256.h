// HMAC-SHA-256 (RFC 2104 over FIPS 180-4's SHA-256), for digests keyed by a secret.
#ifndef GATEKEEPER_PASSHASH_HMAC_SHA256_H_
#define GATEKEEPER_PASSHASH_HMAC_SHA256_H_

#include <string_view>

#include "passhash/sha256.h"

namespace gatekeeper::passhash {

// HMAC-SHA-256 of message under key (any length).
Sha256Digest hmacSha256(std::string_view key, std::string_view message);

// One key's HMAC-SHA-256 with the inner and outer hash states computed once, so that each
// message costs only the compressions of the message itself and of the outer digest (two in
// all for a message of up to 55 bytes, as in PBKDF2's rounds).
class HmacSha256 {
 public:
  explicit HmacSha256(std::string_view key);
  ~HmacSha256();
  Sha256Digest mac(std::string_view message) const;
  Sha256Digest mac(const Sha256Digest& message) const;

 private:
  Sha256Digest outerOf(const Sha256Digest& innerDigest) const;

  Sha256 inner_;
  Sha256 outer_;
};

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_HMAC_SHA256_H_
