// SHA-256 (FIPS 180-4). Sha256 hashes a message given in pieces; a copy of an object that has
// absorbed a prefix continues from that prefix, which is how HMAC keeps its keyed states.
#ifndef GATEKEEPER_PASSHASH_SHA256_H_
#define GATEKEEPER_PASSHASH_SHA256_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gatekeeper::passhash {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  static constexpr std::size_t kBlockSize = 64;

  Sha256();
  void update(const void* data, std::size_t size);
  void update(std::string_view data) { update(data.data(), data.size()); }
  // The digest of everything absorbed; the object is spent afterwards.
  Sha256Digest finish();

 private:
  void compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, kBlockSize> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes absorbed
};

Sha256Digest sha256(std::string_view message);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_SHA256_H_
