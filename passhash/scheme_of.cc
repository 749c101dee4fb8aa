// schemeOf: the stored forms checked whole, as each scheme's own code writes them.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "passhash/base64.h"
#include "passhash/password_hash.h"
#include "passhash/pbkdf2_sha256_form.h"

namespace gatekeeper::passhash {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The fields of text between '$' signs.
std::vector<std::string_view> fields(std::string_view text) {
  std::vector<std::string_view> out;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find('$', start);
    if (end == std::string_view::npos) {
      out.push_back(text.substr(start));
      return out;
    }
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool isCrypt64Of(std::string_view text, std::size_t minSize, std::size_t maxSize) {
  return text.size() >= minSize && text.size() <= maxSize && isCrypt64(text);
}

// yescrypt: $y$PARAMS$SALT$HASH, parameters (up to 64 characters) and salt (up to 86) in the
// crypt alphabet, hash 43 characters.
bool isYescrypt(std::string_view rest) {
  const std::vector<std::string_view> parts = fields(rest);
  return parts.size() == 3 && isCrypt64Of(parts[0], 1, 64) && isCrypt64Of(parts[1], 1, 86) &&
         isCrypt64Of(parts[2], 43, 43);
}

// bcrypt: $2b$CC$ then 22 characters of salt and 31 of hash; the cost is 04 to 31.
bool isBcrypt(std::string_view rest) {
  if (rest.size() != 56 || !isDigit(rest[0]) || !isDigit(rest[1]) || rest[2] != '$') {
    return false;
  }
  const int cost = (rest[0] - '0') * 10 + (rest[1] - '0');
  return cost >= 4 && cost <= 31 && isCrypt64(rest.substr(3));
}

// SHA-crypt: [rounds=N$]SALT$HASH, N from 1000 to 999999999 without leading zeros, salt of 1 to
// 16 characters, hash of hashSize characters.
bool isShaCrypt(std::string_view rest, std::size_t hashSize) {
  constexpr std::string_view kRounds = "rounds=";
  std::vector<std::string_view> parts = fields(rest);
  if (parts.size() == 3 && parts[0].starts_with(kRounds)) {
    const std::string_view number = parts[0].substr(kRounds.size());
    if (number.size() < 4 || number.size() > 9 || number[0] == '0' ||
        !std::all_of(number.begin(), number.end(), isDigit)) {
      return false;
    }
    parts.erase(parts.begin());
  }
  return parts.size() == 2 && isCrypt64Of(parts[0], 1, 16) &&
         isCrypt64Of(parts[1], hashSize, hashSize);
}

// apr1: $apr1$SALT$HASH, salt of 1 to 8 characters, hash 22.
bool isApr1(std::string_view rest) {
  const std::vector<std::string_view> parts = fields(rest);
  return parts.size() == 2 && isCrypt64Of(parts[0], 1, 8) && isCrypt64Of(parts[1], 22, 22);
}

// {SHA}: 28 characters of padded standard base64 of a 20-byte digest.
bool isSha1(std::string_view rest) {
  if (rest.size() != 28) return false;
  const std::optional<std::string> digest = decodeBase64(rest);
  return digest && digest->size() == 20;
}

}  // namespace

Scheme schemeOf(std::string_view stored) {
  const auto after = [stored](std::string_view prefix, std::string_view* rest) {
    if (!stored.starts_with(prefix)) return false;
    *rest = stored.substr(prefix.size());
    return true;
  };
  std::string_view rest;
  if (after("$y$", &rest)) return isYescrypt(rest) ? Scheme::kYescrypt : Scheme::kPlain;
  if (after("$2a$", &rest) || after("$2b$", &rest) || after("$2y$", &rest)) {
    return isBcrypt(rest) ? Scheme::kBcrypt : Scheme::kPlain;
  }
  if (after("$6$", &rest)) return isShaCrypt(rest, 86) ? Scheme::kSha512Crypt : Scheme::kPlain;
  if (after("$5$", &rest)) return isShaCrypt(rest, 43) ? Scheme::kSha256Crypt : Scheme::kPlain;
  if (stored.starts_with(kPbkdf2Sha256Prefix)) {
    return parsePbkdf2Sha256(stored) ? Scheme::kPbkdf2Sha256 : Scheme::kPlain;
  }
  if (after("$apr1$", &rest)) return isApr1(rest) ? Scheme::kApr1 : Scheme::kPlain;
  if (after("{SHA}", &rest)) return isSha1(rest) ? Scheme::kSha1 : Scheme::kPlain;
  return Scheme::kPlain;
}

}  // namespace gatekeeper::passhash
