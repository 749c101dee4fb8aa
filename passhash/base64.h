// The base64 alphabets of the stored password forms.
//   standard  A-Z a-z 0-9 + /, padded with '=' (RFC 4648): Apache's {SHA} form
//   adapted   the same with '.' for '+' and no padding: passlib's pbkdf2-sha256 form
//   crypt     ./0-9A-Za-z, six bits a character, low bits first: the MD5-crypt family
// Decoding is strict: a text that an encoder would not have written (a character outside the
// alphabet, misplaced or missing padding, a length no encoding has, bits set beyond the last
// byte) decodes to nothing.
#ifndef GATEKEEPER_PASSHASH_BASE64_H_
#define GATEKEEPER_PASSHASH_BASE64_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gatekeeper::passhash {

std::string encodeBase64(std::string_view bytes);
std::optional<std::string> decodeBase64(std::string_view text);

std::string encodeAdaptedBase64(std::string_view bytes);
std::optional<std::string> decodeAdaptedBase64(std::string_view text);

// Appends count characters of the crypt alphabet for the low 6 * count bits of value, the
// lowest six bits first.
void appendCrypt64(std::string& out, std::uint32_t value, int count);

// Whether c is in the crypt alphabet ./0-9A-Za-z (bcrypt's alphabet has the same characters).
bool isCrypt64Char(char c);
// Whether text is non-empty and made only of the crypt alphabet.
bool isCrypt64(std::string_view text);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_BASE64_H_
