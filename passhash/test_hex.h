// Hexadecimal text of bytes, for the tests' known answers.
#ifndef GATEKEEPER_PASSHASH_TEST_HEX_H_
#define GATEKEEPER_PASSHASH_TEST_HEX_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace gatekeeper::passhash {

inline std::string hexOf(const std::uint8_t* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 15]);
  }
  return out;
}

template <typename Bytes>
std::string hexOf(const Bytes& bytes) {
  return hexOf(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_TEST_HEX_H_
