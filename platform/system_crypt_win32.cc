#include <windows.h>
#include <bcrypt.h>

#include <climits>
#include <string>

#include "platform/system_crypt.h"

namespace gatekeeper::platform {

bool systemCryptKnows(std::string_view) { return false; }

std::optional<std::string> systemCrypt(std::string_view, std::string_view) { return std::nullopt; }

std::optional<std::string> systemCryptSetting(std::string_view, const void*, std::size_t) {
  return std::nullopt;
}

bool systemPbkdf2HmacSha256(std::string_view password, std::string_view salt,
                            std::uint64_t rounds, std::uint8_t* out, std::size_t size) {
  if (rounds == 0 || password.size() > ULONG_MAX || salt.size() > ULONG_MAX || size > ULONG_MAX) {
    return false;
  }
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                  BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
    return false;
  }
  // The API takes non-const buffers that it only reads; empty ones are passed as copies so
  // that no null pointer reaches it.
  std::string key(password), saltCopy(salt);
  const NTSTATUS status = BCryptDeriveKeyPBKDF2(
      algorithm, reinterpret_cast<PUCHAR>(key.data()), static_cast<ULONG>(key.size()),
      reinterpret_cast<PUCHAR>(saltCopy.data()), static_cast<ULONG>(saltCopy.size()), rounds,
      out, static_cast<ULONG>(size), 0);
  SecureZeroMemory(key.data(), key.size());
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return BCRYPT_SUCCESS(status);
}

}  // namespace gatekeeper::platform
