// Apache's apr1 password form: MD5-crypt (1000 rounds of MD5) with the magic "$apr1$", as
// htpasswd -m writes it. Weak; kept to verify imported htpasswd files.
#ifndef GATEKEEPER_PASSHASH_APR1_H_
#define GATEKEEPER_PASSHASH_APR1_H_

#include <string>
#include <string_view>

namespace gatekeeper::passhash {

// The whole stored form "$apr1$SALT$HASH" of password with salt (at most 8 characters of the
// crypt alphabet are used, as Apache does; a longer salt is cut).
std::string apr1Crypt(std::string_view password, std::string_view salt);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_APR1_H_
