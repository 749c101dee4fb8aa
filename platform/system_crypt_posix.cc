#include <crypt.h>
#include <string.h>

#include <memory>

#include "platform/system_crypt.h"

namespace gatekeeper::platform {
namespace {

// A setting as the C string the library takes; nothing when it holds a NUL byte.
std::optional<std::string> cString(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  return std::string(text);
}

}  // namespace

bool systemCryptKnows(std::string_view setting) {
  const std::optional<std::string> text = cString(setting);
  if (!text) return false;
  switch (::crypt_checksalt(text->c_str())) {
    case CRYPT_SALT_OK:
    case CRYPT_SALT_METHOD_LEGACY:
    case CRYPT_SALT_TOO_CHEAP:
      return true;
    default:
      return false;
  }
}

std::optional<std::string> systemCrypt(std::string_view password, std::string_view setting) {
  if (password.size() >= CRYPT_MAX_PASSPHRASE_SIZE) return std::nullopt;
  std::optional<std::string> phrase = cString(password);
  const std::optional<std::string> salt = cString(setting);
  if (!phrase || !salt) return std::nullopt;
  // The library's working area is 32 KiB: on the heap, not on a request thread's stack.
  auto data = std::make_unique<crypt_data>();
  std::optional<std::string> result;
  const char* hash = ::crypt_rn(phrase->c_str(), salt->c_str(), data.get(), sizeof *data);
  if (hash != nullptr && hash[0] != '*') result.emplace(hash);
  ::explicit_bzero(data.get(), sizeof *data);
  ::explicit_bzero(phrase->data(), phrase->size());
  return result;
}

std::optional<std::string> systemCryptSetting(std::string_view prefix, const void* random,
                                              std::size_t size) {
  const std::optional<std::string> method = cString(prefix);
  if (!method || size > 0x7fffffff) return std::nullopt;
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  const char* made = ::crypt_gensalt_rn(method->c_str(), 0, static_cast<const char*>(random),
                                        static_cast<int>(size), setting, sizeof setting);
  if (made == nullptr || made[0] == '*') return std::nullopt;
  return std::string(made);
}

bool systemPbkdf2HmacSha256(std::string_view, std::string_view, std::uint64_t, std::uint8_t*,
                            std::size_t) {
  return false;
}

}  // namespace gatekeeper::platform
