#include "filter/verified_logons.h"

#include <array>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>

#include "passhash/hmac_sha256.h"
#include "passhash/password_hash.h"
#include "passhash/secure_memory.h"
#include "platform/random_bytes.h"

namespace gatekeeper {

namespace {

using Digest = passhash::Sha256Digest;

// The smallest power of two that is at least n (n >= 1).
std::size_t powerOfTwoAtLeast(std::size_t n) {
  std::size_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

// A digest that wipes itself when it goes.
struct LogonDigest {
  Digest bytes;
  ~LogonDigest() { passhash::wipe(bytes.data(), bytes.size()); }
};

// The set within a shard: the digest's second to fifth bytes (the first chose the shard).
std::size_t setIndex(const Digest& digest, std::size_t setsPerShard) {
  const std::uint32_t bits = static_cast<std::uint32_t>(digest[1]) |
                             static_cast<std::uint32_t>(digest[2]) << 8 |
                             static_cast<std::uint32_t>(digest[3]) << 16 |
                             static_cast<std::uint32_t>(digest[4]) << 24;
  return bits & (setsPerShard - 1);
}

}  // namespace

struct VerifiedLogons::Shard {
  struct Set {
    std::array<Digest, kWays> digests;
    std::uint8_t used;    // one bit per way
    std::uint8_t oldest;  // the way the next insertion into a full set replaces
  };

  // With the lock held: the way of the set that holds digest, or -1.
  static int find(const Set& set, const Digest& digest) {
    for (std::size_t way = 0; way < kWays; ++way) {
      if ((set.used & (1u << way)) != 0 &&
          std::memcmp(set.digests[way].data(), digest.data(), digest.size()) == 0) {
        return static_cast<int>(way);
      }
    }
    return -1;
  }

  // With the lock held: wipes and frees the sets.
  void forget(std::size_t setsPerShard) {
    if (sets == nullptr) return;
    passhash::wipe(sets.get(), setsPerShard * sizeof(Set));
    sets.reset();
    size = 0;
  }

  // Each shard on cache lines of its own, so that threads in different shards do not contend.
  alignas(64) mutable std::mutex mutex;
  std::unique_ptr<Set[]> sets;  // setsPerShard of them; nullptr until the first insertion
  std::size_t size = 0;
  std::uint64_t hits = 0;
};

VerifiedLogons::VerifiedLogons() : VerifiedLogons(Options()) {}

VerifiedLogons::VerifiedLogons(Options options)
    : options_(std::move(options)),
      setsPerShard_(powerOfTwoAtLeast(options_.capacity) / (kShards * kWays) > 0
                        ? powerOfTwoAtLeast(options_.capacity) / (kShards * kWays)
                        : 1),
      shards_(new Shard[kShards]) {
  char key[32];
  enabled_ = options_.randomBytes ? options_.randomBytes(key, sizeof key)
                                  : platform::fillRandomBytes(key, sizeof key);
  if (enabled_) mac_.emplace(std::string_view(key, sizeof key));
  passhash::wipe(key, sizeof key);
}

// The keyed states wipe themselves as mac_ goes.
VerifiedLogons::~VerifiedLogons() { clear(); }

bool VerifiedLogons::verify(std::string_view storedHash, std::string_view sent) {
  const auto verifyNow = [&] {
    return options_.verifier ? options_.verifier(storedHash, sent)
                             : passhash::verifyPassword(storedHash, sent);
  };
  if (!enabled_) return verifyNow();

  // The message: the stored hash, a NUL (which no stored text holds) and the password sent.
  // Most fit on the stack; the copy of the password is wiped either way.
  LogonDigest digest;
  {
    const std::size_t length = storedHash.size() + 1 + sent.size();
    char local[512];
    std::unique_ptr<char[]> large;
    char* message = local;
    if (length > sizeof local) {
      large.reset(new (std::nothrow) char[length]);
      if (large == nullptr) return verifyNow();
      message = large.get();
    }
    std::memcpy(message, storedHash.data(), storedHash.size());
    message[storedHash.size()] = '\0';
    std::memcpy(message + storedHash.size() + 1, sent.data(), sent.size());
    digest.bytes = mac_->mac(std::string_view(message, length));
    passhash::wipe(message, length);
  }

  Shard& shard = shards_[digest.bytes[0]];
  const std::size_t set = setIndex(digest.bytes, setsPerShard_);
  {
    std::lock_guard<std::mutex> lock(shard.mutex);
    if (shard.sets != nullptr && Shard::find(shard.sets[set], digest.bytes) >= 0) {
      ++shard.hits;
      return true;
    }
  }

  // The slow hash runs without the lock: other logons of the shard go on meanwhile.
  if (!verifyNow()) return false;

  std::lock_guard<std::mutex> lock(shard.mutex);
  if (shard.sets == nullptr) {
    shard.sets.reset(new (std::nothrow) Shard::Set[setsPerShard_]());
    if (shard.sets == nullptr) return true;  // no memory: verified, not remembered
  }
  Shard::Set& entries = shard.sets[set];
  if (Shard::find(entries, digest.bytes) >= 0) return true;  // another thread remembered it
  std::size_t way = 0;
  while (way < kWays && (entries.used & (1u << way)) != 0) ++way;
  if (way == kWays) {
    way = entries.oldest;
    entries.oldest = static_cast<std::uint8_t>((way + 1) % kWays);
  } else {
    ++shard.size;
  }
  entries.digests[way] = digest.bytes;
  entries.used = static_cast<std::uint8_t>(entries.used | (1u << way));
  return true;
}

void VerifiedLogons::clear() {
  for (std::size_t i = 0; i < kShards; ++i) {
    std::lock_guard<std::mutex> lock(shards_[i].mutex);
    shards_[i].forget(setsPerShard_);
  }
}

std::size_t VerifiedLogons::size() const {
  std::size_t total = 0;
  for (std::size_t i = 0; i < kShards; ++i) {
    std::lock_guard<std::mutex> lock(shards_[i].mutex);
    total += shards_[i].size;
  }
  return total;
}

std::uint64_t VerifiedLogons::hits() const {
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < kShards; ++i) {
    std::lock_guard<std::mutex> lock(shards_[i].mutex);
    total += shards_[i].hits;
  }
  return total;
}

}  // namespace gatekeeper
