#include "passhash/password_hash.h"

#include <array>
#include <cstdint>

#include "passhash/apr1.h"
#include "passhash/base64.h"
#include "passhash/pbkdf2_sha256_form.h"
#include "passhash/secure_memory.h"
#include "passhash/sha1.h"
#include "platform/random_bytes.h"
#include "platform/system_crypt.h"

namespace gatekeeper::passhash {
namespace {

constexpr std::string_view kYescryptPrefix = "$y$";
constexpr std::size_t kYescryptSaltBytes = 16;

// The method prefix by which the crypt library knows a scheme; empty for the others.
std::string_view cryptPrefix(Scheme scheme) {
  switch (scheme) {
    case Scheme::kYescrypt: return kYescryptPrefix;
    case Scheme::kBcrypt: return "$2b$";
    case Scheme::kSha512Crypt: return "$6$";
    case Scheme::kSha256Crypt: return "$5$";
    default: return {};
  }
}

bool verifyByCrypt(std::string_view stored, std::string_view sent) {
  // The library reads C strings: a sent password with a NUL byte would be cut at it.
  if (sent.find('\0') != std::string_view::npos) return false;
  const std::optional<std::string> computed = platform::systemCrypt(sent, stored);
  return computed && equalInConstantTime(*computed, stored);
}

bool verifyPbkdf2Sha256(std::string_view stored, std::string_view sent) {
  const std::optional<Pbkdf2Sha256Form> form = parsePbkdf2Sha256(stored);
  if (!form) return false;
  Sha256Digest computed = derivePbkdf2Sha256(sent, form->salt, form->rounds);
  const bool equal = equalInConstantTime(
      std::string_view(reinterpret_cast<const char*>(computed.data()), computed.size()),
      std::string_view(reinterpret_cast<const char*>(form->hash.data()), form->hash.size()));
  wipe(computed.data(), computed.size());
  return equal;
}

bool verifyApr1(std::string_view stored, std::string_view sent) {
  constexpr std::string_view kMagic = "$apr1$";
  const std::string_view rest = stored.substr(kMagic.size());
  const std::string_view salt = rest.substr(0, rest.find('$'));
  return equalInConstantTime(apr1Crypt(sent, salt), stored);
}

bool verifySha1(std::string_view stored, std::string_view sent) {
  const Sha1Digest digest = sha1(sent);
  const std::optional<std::string> kept = decodeBase64(stored.substr(5));
  return kept && equalInConstantTime(std::string_view(reinterpret_cast<const char*>(digest.data()),
                                                      digest.size()),
                                     *kept);
}

}  // namespace

const char* schemeName(Scheme scheme) {
  switch (scheme) {
    case Scheme::kPlain: return "plain";
    case Scheme::kYescrypt: return "yescrypt";
    case Scheme::kBcrypt: return "bcrypt";
    case Scheme::kSha512Crypt: return "sha512-crypt";
    case Scheme::kSha256Crypt: return "sha256-crypt";
    case Scheme::kPbkdf2Sha256: return "pbkdf2-sha256";
    case Scheme::kApr1: return "apr1";
    case Scheme::kSha1: return "sha1";
  }
  return "plain";
}

bool isWeakScheme(Scheme scheme) { return scheme == Scheme::kApr1 || scheme == Scheme::kSha1; }

bool canVerify(Scheme scheme) {
  const std::string_view prefix = cryptPrefix(scheme);
  return prefix.empty() || platform::systemCryptKnows(prefix);
}

bool verifyPassword(std::string_view stored, std::string_view sent) {
  const Scheme scheme = schemeOf(stored);
  switch (scheme) {
    case Scheme::kPlain: return equalInConstantTime(stored, sent);
    case Scheme::kPbkdf2Sha256: return verifyPbkdf2Sha256(stored, sent);
    case Scheme::kApr1: return verifyApr1(stored, sent);
    case Scheme::kSha1: return verifySha1(stored, sent);
    default: return canVerify(scheme) && verifyByCrypt(stored, sent);
  }
}

Scheme defaultScheme() {
  return canVerify(Scheme::kYescrypt) ? Scheme::kYescrypt : Scheme::kPbkdf2Sha256;
}

std::optional<std::string> hashPassword(std::string_view password) {
  if (defaultScheme() == Scheme::kPbkdf2Sha256) {
    return newPbkdf2Sha256(password, kDefaultPbkdf2Rounds);
  }
  // A password with a NUL byte cannot be given to the crypt library whole.
  if (password.find('\0') != std::string_view::npos) return std::nullopt;
  std::array<unsigned char, kYescryptSaltBytes> random;
  if (!platform::fillRandomBytes(random.data(), random.size())) return std::nullopt;
  const std::optional<std::string> setting =
      platform::systemCryptSetting(kYescryptPrefix, random.data(), random.size());
  wipe(random.data(), random.size());
  if (!setting) return std::nullopt;
  std::optional<std::string> hash = platform::systemCrypt(password, *setting);
  if (!hash || schemeOf(*hash) != Scheme::kYescrypt) return std::nullopt;
  return hash;
}

}  // namespace gatekeeper::passhash
