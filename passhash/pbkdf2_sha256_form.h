// passlib's pbkdf2-sha256 form "$pbkdf2-sha256$ROUNDS$SALT$HASH": decimal rounds without
// leading zeros (1 to 4294967295), the salt (1 to 1024 bytes) and the 32-byte hash in adapted
// base64. The hash is derived by the system's PBKDF2 where it has one (Windows) and by the
// portable code elsewhere; both give the same bytes.
#ifndef GATEKEEPER_PASSHASH_PBKDF2_SHA256_FORM_H_
#define GATEKEEPER_PASSHASH_PBKDF2_SHA256_FORM_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "passhash/sha256.h"

namespace gatekeeper::passhash {

inline constexpr std::string_view kPbkdf2Sha256Prefix = "$pbkdf2-sha256$";

struct Pbkdf2Sha256Form {
  std::uint32_t rounds = 0;
  std::string salt;  // the decoded bytes
  Sha256Digest hash{};
};

// The parts of stored; nothing unless stored has the form exactly.
std::optional<Pbkdf2Sha256Form> parsePbkdf2Sha256(std::string_view stored);

// The stored form of the parts.
std::string formatPbkdf2Sha256(const Pbkdf2Sha256Form& form);

// PBKDF2-HMAC-SHA256 of password under salt in rounds, 32 bytes.
Sha256Digest derivePbkdf2Sha256(std::string_view password, std::string_view salt,
                                std::uint32_t rounds);

// A new stored form of password with rounds and a fresh 16-byte salt; nothing when the system
// gives no random bytes.
std::optional<std::string> newPbkdf2Sha256(std::string_view password, std::uint32_t rounds);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_PBKDF2_SHA256_FORM_H_
