#include "passhash/pbkdf2.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "passhash/hmac_sha256.h"
#include "passhash/secure_memory.h"

namespace gatekeeper::passhash {

void pbkdf2HmacSha256(std::string_view password, std::string_view salt, std::uint32_t rounds,
                      std::uint8_t* out, std::size_t size) {
  const HmacSha256 prf(password);
  std::string first(salt);
  first.append(4, '\0');
  for (std::uint32_t block = 1; size > 0; ++block) {
    first[salt.size()] = static_cast<char>(block >> 24);
    first[salt.size() + 1] = static_cast<char>(block >> 16);
    first[salt.size() + 2] = static_cast<char>(block >> 8);
    first[salt.size() + 3] = static_cast<char>(block);
    Sha256Digest u = prf.mac(first);
    Sha256Digest t = u;
    for (std::uint32_t round = 1; round < rounds; ++round) {
      u = prf.mac(u);
      for (std::size_t i = 0; i < t.size(); ++i) t[i] ^= u[i];
    }
    const std::size_t take = std::min(size, t.size());
    std::memcpy(out, t.data(), take);
    out += take;
    size -= take;
    wipe(u.data(), u.size());
    wipe(t.data(), t.size());
  }
}

}  // namespace gatekeeper::passhash
