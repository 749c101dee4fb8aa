#include "filter/verified_logons.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace gatekeeper {
namespace {

// prefix followed by number in decimal (built by appending: GCC 12 warns falsely about
// "literal" + std::to_string under optimisation).
std::string numbered(const char* prefix, int number) {
  std::string text = prefix;
  text += std::to_string(number);
  return text;
}

// A verifier that accepts the password "right" for every stored text that ends in "ok", and
// "right" + n for the stored text "h" + n; and counts its calls.
class CountingVerifier {
 public:
  VerifiedLogons::Verifier verifier() {
    return [this](std::string_view stored, std::string_view sent) {
      calls_.fetch_add(1);
      if (stored.size() >= 2 && stored.substr(stored.size() - 2) == "ok") return sent == "right";
      return stored.size() > 1 && stored[0] == 'h' &&
             std::string(sent) == "right" + std::string(stored.substr(1));
    };
  }
  int calls() const { return calls_.load(); }

 private:
  std::atomic<int> calls_{0};
};

VerifiedLogons::Options withVerifier(CountingVerifier& counting, std::size_t capacity = 0) {
  VerifiedLogons::Options options;
  if (capacity != 0) options.capacity = capacity;
  options.verifier = counting.verifier();
  return options;
}

// Each step: the logon sent, the result, and whether the verifier was asked.
TEST(VerifiedLogonsTest, RemembersOnlyVerifiedLogonsOfTheStoredTextAsItIs) {
  CountingVerifier counting;
  VerifiedLogons cache(withVerifier(counting));
  ASSERT_TRUE(cache.enabled());
  const struct {
    const char* stored;
    const char* sent;
    bool accepted;
    bool verified;  // the verifier was called
  } steps[] = {
      {"$a$ok", "right", true, true},
      {"$a$ok", "right", true, false},   // remembered
      {"$a$ok", "wrong", false, true},   // a wrong password right after the right one
      {"$a$ok", "wrong", false, true},   // ... is never remembered
      {"$a$ok", "Right", false, true},   // passwords compare exactly
      {"$a$ok", "right ", false, true},
      {"$a$ok", "", false, true},
      {"$b$ok", "right", true, true},    // another hash (a new salt): not the logon remembered
      {"$b$ok", "right", true, false},
      {"$a$ok", "right", true, false},   // the first one is still there
  };
  int calls = 0;
  std::uint64_t hits = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.stored) + " / " + step.sent);
    EXPECT_EQ(cache.verify(step.stored, step.sent), step.accepted);
    if (step.verified) ++calls; else ++hits;
    EXPECT_EQ(counting.calls(), calls);
    EXPECT_EQ(cache.hits(), hits);
  }
  EXPECT_EQ(cache.size(), 2u);
}

// The stored text and the password are kept apart: a logon whose two texts join to the same
// characters as a remembered one's is not taken for it.
TEST(VerifiedLogonsTest, StoredTextAndPasswordDoNotRunIntoEachOther) {
  CountingVerifier counting;
  VerifiedLogons cache(withVerifier(counting));
  ASSERT_TRUE(cache.verify("h1", "right1"));
  const struct {
    std::string stored;
    std::string sent;
  } neighbours[] = {{"h1r", "ight1"},
                    {"h", "1right1"},
                    {"h1right1", ""},
                    {"", "h1right1"},
                    {std::string("h1\0r", 4), "ight1"},
                    {"h1", std::string("\0right1", 7)}};
  for (const auto& n : neighbours) {
    SCOPED_TRACE(n.stored + " / " + n.sent);
    EXPECT_FALSE(cache.verify(n.stored, n.sent));
  }
  EXPECT_EQ(cache.hits(), 0u);
}

TEST(VerifiedLogonsTest, LongTextsAreRememberedToo) {
  CountingVerifier counting;
  VerifiedLogons cache(withVerifier(counting));
  const std::string stored = "$x$" + std::string(600, 's') + "ok";
  const std::string sent = "right";
  const std::string longSent(300, 'p');
  EXPECT_TRUE(cache.verify(stored, sent));
  EXPECT_TRUE(cache.verify(stored, sent));
  EXPECT_FALSE(cache.verify(stored, longSent));
  EXPECT_EQ(counting.calls(), 2);
  EXPECT_EQ(cache.hits(), 1u);
}

TEST(VerifiedLogonsTest, CapacityIsAPowerOfTwoOfAtLeastOneSetPerShard) {
  const struct {
    std::size_t asked;
    std::size_t capacity;
  } cases[] = {{0, 2048}, {1, 2048}, {2048, 2048}, {3000, 4096}, {65536, 65536}};
  for (const auto& c : cases) {
    VerifiedLogons::Options options;
    options.capacity = c.asked;
    EXPECT_EQ(VerifiedLogons(options).capacity(), c.capacity) << c.asked;
  }
  EXPECT_EQ(VerifiedLogons().capacity(), VerifiedLogons::kDefaultCapacity);
}

// More distinct logons than the cache holds: it forgets old ones and never grows past its
// bound; the newest logon is always remembered.
TEST(VerifiedLogonsTest, StaysWithinItsCapacity) {
  CountingVerifier counting;
  VerifiedLogons cache(withVerifier(counting, 2048));
  ASSERT_EQ(cache.capacity(), 2048u);
  for (int i = 0; i < 3 * 2048; ++i) {
    const std::string stored = numbered("h", i);
    const std::string sent = numbered("right", i);
    ASSERT_TRUE(cache.verify(stored, sent));
    if (i % 256 == 0) {
      ASSERT_LE(cache.size(), cache.capacity());
    }
    const std::uint64_t hits = cache.hits();
    ASSERT_TRUE(cache.verify(stored, sent));
    ASSERT_EQ(cache.hits(), hits + 1) << i;
  }
  // Full, or nearly: digests spread over the sets unevenly.
  EXPECT_LE(cache.size(), cache.capacity());
  EXPECT_GT(cache.size(), cache.capacity() * 3 / 4);
  EXPECT_EQ(counting.calls(), 3 * 2048);
}

TEST(VerifiedLogonsTest, ClearForgetsEveryLogon) {
  CountingVerifier counting;
  VerifiedLogons cache(withVerifier(counting));
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(cache.verify(numbered("h", i), numbered("right", i)));
  }
  EXPECT_EQ(cache.size(), 100u);
  cache.clear();
  EXPECT_EQ(cache.size(), 0u);
  EXPECT_TRUE(cache.verify("h7", "right7"));
  EXPECT_EQ(counting.calls(), 101);
  EXPECT_TRUE(cache.verify("h7", "right7"));
  EXPECT_EQ(counting.calls(), 101);
  EXPECT_EQ(cache.size(), 1u);
}

// Without random bytes there is no key: nothing is remembered, every logon is verified.
TEST(VerifiedLogonsTest, WithoutRandomBytesEveryLogonIsVerified) {
  CountingVerifier counting;
  VerifiedLogons::Options options = withVerifier(counting);
  options.randomBytes = [](void*, std::size_t) { return false; };
  VerifiedLogons cache(options);
  EXPECT_FALSE(cache.enabled());
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(cache.verify("$a$ok", "right"));
    EXPECT_FALSE(cache.verify("$a$ok", "wrong"));
  }
  EXPECT_EQ(counting.calls(), 6);
  EXPECT_EQ(cache.hits(), 0u);
  EXPECT_EQ(cache.size(), 0u);
}

// Several request threads at once: hits on logons that all share, insertions of their own,
// refusals, and a clear now and then; every answer stays right.
TEST(VerifiedLogonsTest, ManyThreadsVerifyAtOnce) {
  CountingVerifier counting;
  VerifiedLogons cache(withVerifier(counting, 2048));
  constexpr int kThreads = 4;
  constexpr int kRounds = 400;
  std::atomic<int> wrongAnswers{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const int shared = i % 16;
        const int own = 1000 + t * kRounds + i;
        if (!cache.verify(numbered("h", shared), numbered("right", shared))) {
          ++wrongAnswers;
        }
        if (!cache.verify(numbered("h", own), numbered("right", own))) {
          ++wrongAnswers;
        }
        if (cache.verify(numbered("h", shared), "wrong")) ++wrongAnswers;
        if (t == 0 && i % 100 == 99) cache.clear();
        if (cache.size() > cache.capacity()) ++wrongAnswers;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrongAnswers.load(), 0);
  // The shared logons were mostly answered from the cache.
  EXPECT_GT(cache.hits(), 0u);
  EXPECT_LT(counting.calls(), kThreads * kRounds * 3);
}

}  // namespace
}  // namespace gatekeeper
