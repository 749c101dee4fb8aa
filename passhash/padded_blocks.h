// The message padding shared by MD5 and SHA-1: 0x80, zero bytes up to 56 modulo 64, then the
// message's length in bits as 64 bits, little-endian (MD5) or big-endian (SHA-1).
#ifndef GATEKEEPER_PASSHASH_PADDED_BLOCKS_H_
#define GATEKEEPER_PASSHASH_PADDED_BLOCKS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "passhash/secure_memory.h"

namespace gatekeeper::passhash {

enum class LengthOrder { kLittleEndian, kBigEndian };

// Calls compress(const unsigned char* block) with each 64-byte block of the padded message, in
// order. The padded copy is wiped before it returns (the message may be a password).
template <typename Compress>
void forEachPaddedBlock(std::string_view message, LengthOrder order, Compress compress) {
  std::string padded(message);
  padded.push_back(static_cast<char>(0x80));
  while (padded.size() % 64 != 56) padded.push_back('\0');
  const std::uint64_t bits = static_cast<std::uint64_t>(message.size()) * 8;
  for (int i = 0; i < 8; ++i) {
    const int shift = order == LengthOrder::kLittleEndian ? 8 * i : 8 * (7 - i);
    padded.push_back(static_cast<char>(bits >> shift));
  }
  for (std::size_t at = 0; at < padded.size(); at += 64) {
    compress(reinterpret_cast<const unsigned char*>(padded.data() + at));
  }
  wipe(padded.data(), padded.size());
}

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_PADDED_BLOCKS_H_
