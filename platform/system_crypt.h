// The system's own password hashing: its crypt library (libxcrypt on Linux; Windows has none)
// and its PBKDF2 (Windows' CNG; Linux has none in the base system, the portable code serves).
// Passwords are byte strings; the crypt library takes C strings, so a password with a NUL
// byte is refused rather than cut.
#ifndef GATEKEEPER_PLATFORM_SYSTEM_CRYPT_H_
#define GATEKEEPER_PLATFORM_SYSTEM_CRYPT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gatekeeper::platform {

// Whether the crypt library hashes with the method that setting (a stored hash, or its
// prefix such as "$y$") names; false where there is no crypt library.
bool systemCryptKnows(std::string_view setting);

// crypt(3) of password under setting (a stored hash or a new setting): the whole hash text.
// Nothing when there is no crypt library, the password has a NUL byte or is longer than the
// library takes, or the library refuses the setting.
std::optional<std::string> systemCrypt(std::string_view password, std::string_view setting);

// A new setting for the method of prefix (e.g. "$y$") at the library's default cost, its salt
// made from the size random bytes at random; nothing where there is no crypt library or it
// refuses.
std::optional<std::string> systemCryptSetting(std::string_view prefix, const void* random,
                                              std::size_t size);

// PBKDF2-HMAC-SHA256 of password and salt in rounds iterations (rounds >= 1), size bytes into
// out, by the system's cryptography API. False where the system has none (Linux) or it fails.
bool systemPbkdf2HmacSha256(std::string_view password, std::string_view salt,
                            std::uint64_t rounds, std::uint8_t* out, std::size_t size);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_SYSTEM_CRYPT_H_
