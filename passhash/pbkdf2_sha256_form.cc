#include "passhash/pbkdf2_sha256_form.h"

#include <cstring>

#include "passhash/base64.h"
#include "passhash/pbkdf2.h"
#include "platform/random_bytes.h"
#include "platform/system_crypt.h"

namespace gatekeeper::passhash {
namespace {

constexpr std::size_t kMaxSaltBytes = 1024;
constexpr std::size_t kNewSaltBytes = 16;

// Decimal digits without a leading zero, 1 to 2^32 - 1.
std::optional<std::uint32_t> parseRounds(std::string_view text) {
  if (text.empty() || text.size() > 10 || text[0] == '0') return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > 0xffffffffu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<Pbkdf2Sha256Form> parsePbkdf2Sha256(std::string_view stored) {
  if (!stored.starts_with(kPbkdf2Sha256Prefix)) return std::nullopt;
  const std::string_view rest = stored.substr(kPbkdf2Sha256Prefix.size());
  const std::size_t first = rest.find('$');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = rest.find('$', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const std::string_view saltText = rest.substr(first + 1, second - first - 1);
  const std::string_view hashText = rest.substr(second + 1);
  const std::optional<std::uint32_t> rounds = parseRounds(rest.substr(0, first));
  if (!rounds || saltText.empty() || hashText.size() != 43) return std::nullopt;
  std::optional<std::string> salt = decodeAdaptedBase64(saltText);
  const std::optional<std::string> hash = decodeAdaptedBase64(hashText);
  if (!salt || salt->size() > kMaxSaltBytes || !hash || hash->size() != 32) return std::nullopt;
  Pbkdf2Sha256Form form;
  form.rounds = *rounds;
  form.salt = std::move(*salt);
  std::memcpy(form.hash.data(), hash->data(), form.hash.size());
  return form;
}

std::string formatPbkdf2Sha256(const Pbkdf2Sha256Form& form) {
  std::string out(kPbkdf2Sha256Prefix);
  out.append(std::to_string(form.rounds)).push_back('$');
  out.append(encodeAdaptedBase64(form.salt)).push_back('$');
  out.append(encodeAdaptedBase64(
      std::string_view(reinterpret_cast<const char*>(form.hash.data()), form.hash.size())));
  return out;
}

Sha256Digest derivePbkdf2Sha256(std::string_view password, std::string_view salt,
                                std::uint32_t rounds) {
  Sha256Digest hash;
  if (!platform::systemPbkdf2HmacSha256(password, salt, rounds, hash.data(), hash.size())) {
    pbkdf2HmacSha256(password, salt, rounds, hash.data(), hash.size());
  }
  return hash;
}

std::optional<std::string> newPbkdf2Sha256(std::string_view password, std::uint32_t rounds) {
  Pbkdf2Sha256Form form;
  form.rounds = rounds == 0 ? 1 : rounds;
  form.salt.resize(kNewSaltBytes);
  if (!platform::fillRandomBytes(form.salt.data(), form.salt.size())) return std::nullopt;
  form.hash = derivePbkdf2Sha256(password, form.salt, form.rounds);
  return formatPbkdf2Sha256(form);
}

}  // namespace gatekeeper::passhash
