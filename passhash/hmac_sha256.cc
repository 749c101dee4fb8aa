#include "passhash/hmac_sha256.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "passhash/secure_memory.h"

namespace gatekeeper::passhash {

HmacSha256::HmacSha256(std::string_view key) {
  std::array<std::uint8_t, Sha256::kBlockSize> block{};
  if (key.size() > block.size()) {
    const Sha256Digest digest = sha256(key);
    std::memcpy(block.data(), digest.data(), digest.size());
  } else if (!key.empty()) {
    std::memcpy(block.data(), key.data(), key.size());
  }
  std::array<std::uint8_t, Sha256::kBlockSize> pad;
  for (std::size_t i = 0; i < block.size(); ++i) pad[i] = block[i] ^ 0x36;
  inner_.update(pad.data(), pad.size());
  for (std::size_t i = 0; i < block.size(); ++i) pad[i] = block[i] ^ 0x5c;
  outer_.update(pad.data(), pad.size());
  wipe(block.data(), block.size());
  wipe(pad.data(), pad.size());
}

HmacSha256::~HmacSha256() {
  wipe(&inner_, sizeof inner_);
  wipe(&outer_, sizeof outer_);
}

Sha256Digest HmacSha256::mac(std::string_view message) const {
  Sha256 inner = inner_;
  inner.update(message);
  return outerOf(inner.finish());
}

Sha256Digest HmacSha256::mac(const Sha256Digest& message) const {
  Sha256 inner = inner_;
  inner.update(message.data(), message.size());
  return outerOf(inner.finish());
}

Sha256Digest HmacSha256::outerOf(const Sha256Digest& innerDigest) const {
  Sha256 outer = outer_;
  outer.update(innerDigest.data(), innerDigest.size());
  return outer.finish();
}

Sha256Digest hmacSha256(std::string_view key, std::string_view message) {
  return HmacSha256(key).mac(message);
}

}  // namespace gatekeeper::passhash
