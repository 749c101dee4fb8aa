// Logons whose password was verified against a stored hash, so that a user who sends the same
// password again is not made to wait for the slow hash at every request.
#ifndef GATEKEEPER_FILTER_VERIFIED_LOGONS_H_
#define GATEKEEPER_FILTER_VERIFIED_LOGONS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "passhash/hmac_sha256.h"

namespace gatekeeper {

// What the cache keeps of a logon is a digest: HMAC-SHA-256, under a random key made when the
// cache is made, of the stored hash, a NUL and the password sent. Neither the password nor an
// unkeyed digest of it is kept, so the entries are of no use to someone who reads the memory
// without the key. The stored hash carries its own salt: a digest names both the user's entry
// as it is now and the password, and an entry given a new hash misses.
//
// Only a successful verification is remembered; a wrong password always goes to the verifier.
//
// Bounded: at most capacity() digests (65,536 by default, 2 MB), in 256 shards chosen by the
// digest's first byte, each with its own lock, and within a shard in sets of kWays entries
// chosen by the next bytes. A full set forgets its oldest entry; the cache never grows. A
// shard's memory is taken when it first remembers a logon.
//
// When the system gives no random bytes for the key, the cache stays off: every logon is
// verified.
class VerifiedLogons {
 public:
  // Whether sent is the password that the stored hash keeps.
  using Verifier = std::function<bool(std::string_view stored, std::string_view sent)>;
  // Fills a buffer with random bytes; false when it cannot.
  using RandomSource = std::function<bool(void* buffer, std::size_t size)>;

  static constexpr std::size_t kDefaultCapacity = 65536;
  static constexpr std::size_t kShards = 256;
  static constexpr std::size_t kWays = 8;

  struct Options {
    // Rounded up to a power of two, and to at least one set per shard (2,048).
    std::size_t capacity = kDefaultCapacity;
    Verifier verifier;        // empty: passhash::verifyPassword
    RandomSource randomBytes;  // empty: platform::fillRandomBytes
  };

  VerifiedLogons();
  explicit VerifiedLogons(Options options);
  // Wipes the key's states and every digest.
  ~VerifiedLogons();
  VerifiedLogons(const VerifiedLogons&) = delete;
  VerifiedLogons& operator=(const VerifiedLogons&) = delete;

  // Whether sent is the password that storedHash keeps: a remembered logon answers at once,
  // any other goes to the verifier, and is remembered when the verifier accepts it.
  bool verify(std::string_view storedHash, std::string_view sent);

  // Forgets every logon (the digests wiped).
  void clear();

  // Whether logons are remembered at all (the key could be made).
  bool enabled() const { return enabled_; }
  std::size_t capacity() const { return setsPerShard_ * kWays * kShards; }
  // Logons remembered now.
  std::size_t size() const;
  // Calls of verify() answered from the cache since it was made.
  std::uint64_t hits() const;

 private:
  struct Shard;

  const Options options_;
  const std::size_t setsPerShard_;
  // The keyed hash states (the key itself is not kept); none when the cache is off.
  std::optional<passhash::HmacSha256> mac_;
  bool enabled_ = false;
  std::unique_ptr<Shard[]> shards_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_VERIFIED_LOGONS_H_
