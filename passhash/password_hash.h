// Stored passwords of site users: a plain text, or a hash in one of the forms below, told
// apart by form alone. This is the one place that knows the forms; the filter, the programs
// and the command line verify and hash through it.
//
// Forms (the salt and hash alphabets are those of each scheme's own definition):
//   yescrypt       $y$PARAMS$SALT$HASH        verified by the system's crypt library (Linux)
//   bcrypt         $2a$ / $2b$ / $2y$CC$SALTHASH (53 characters after the cost)     (Linux)
//   sha512-crypt   $6$[rounds=N$]SALT$HASH                                         (Linux)
//   sha256-crypt   $5$[rounds=N$]SALT$HASH                                         (Linux)
//   pbkdf2-sha256  $pbkdf2-sha256$ROUNDS$SALT$HASH, salt and 32-byte hash in the adapted
//                  base64 of passlib ('.' for '+', no padding): verified on every platform
//   apr1           $apr1$SALT$HASH, Apache's MD5 form (weak)               every platform
//   sha1           {SHA}BASE64 of a 20-byte SHA-1 digest, Apache's form (weak)   every platform
// Anything else is a plain password, compared exactly.
#ifndef GATEKEEPER_PASSHASH_PASSWORD_HASH_H_
#define GATEKEEPER_PASSHASH_PASSWORD_HASH_H_

#include <optional>
#include <string>
#include <string_view>

namespace gatekeeper::passhash {

enum class Scheme {
  kPlain,  // not a hash: the password itself
  kYescrypt,
  kBcrypt,
  kSha512Crypt,
  kSha256Crypt,
  kPbkdf2Sha256,
  kApr1,
  kSha1,
};

// The scheme whose form the stored text has, checked whole (prefix, parameters, lengths and
// alphabets); kPlain for any other text, the empty one included.
Scheme schemeOf(std::string_view stored);
inline bool isPasswordHash(std::string_view stored) { return schemeOf(stored) != Scheme::kPlain; }

// The scheme's name as people know it: "yescrypt", "bcrypt", "sha512-crypt", "sha256-crypt",
// "pbkdf2-sha256", "apr1", "sha1"; "plain" for kPlain.
const char* schemeName(Scheme scheme);

// Schemes fast enough to guess at that an import keeps them only when asked: apr1 and sha1.
bool isWeakScheme(Scheme scheme);

// Whether this build verifies the scheme: the crypt library's schemes only where the system
// has one (Linux); pbkdf2-sha256, apr1 and sha1 everywhere; kPlain always.
bool canVerify(Scheme scheme);

// Whether sent is the password that stored keeps: a hash is verified by its scheme (a scheme
// this build cannot verify matches nothing), a plain text is compared exactly, case included.
bool verifyPassword(std::string_view stored, std::string_view sent);

// The scheme new hashes are made with on this platform: yescrypt where the crypt library
// offers it (Linux), pbkdf2-sha256 elsewhere (Windows). Chosen so that one verification takes
// 10 to 50 ms on a current server.
Scheme defaultScheme();

// The rounds of new pbkdf2-sha256 hashes (the default scheme on Windows). One verification,
// measured in processor time on a busy 2-core AMD EPYC: 23 ms with the portable code (Linux,
// Release build), 48 ms through CNG under Wine.
inline constexpr unsigned kDefaultPbkdf2Rounds = 40000;

// A new hash of password in the default scheme, with a fresh random salt; nullopt when the
// system gives no random bytes or its crypt library fails.
std::optional<std::string> hashPassword(std::string_view password);

}  // namespace gatekeeper::passhash

#endif  // GATEKEEPER_PASSHASH_PASSWORD_HASH_H_
