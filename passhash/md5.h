// MD5 (RFC 1321), only for Apache's apr1 password form: not for anything new.
#ifndef GATEKEEPER_PASSHASH_MD5_H_
#define GATEKEEPER_PASSHASH_MD5_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace gatekeeper::passhash {

using Md5Digest = std::array<std::uint8_t, 16>;

Md5Digest md5(std::string_view message);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_MD5_H_
