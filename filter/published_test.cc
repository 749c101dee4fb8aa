#include "filter/published.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace gatekeeper {
namespace {

// An object whose two halves must always agree; a reader that sees them differ saw an object
// being written or freed.
struct Pair {
  explicit Pair(int v) : first(v), second(v) {}
  ~Pair() { first = second = -1; }
  int first;
  int second;
};

TEST(PublishedTest, NothingBeforeTheFirstPublication) {
  Published<Pair> published;
  EXPECT_EQ(published.read().get(), nullptr);
  EXPECT_EQ(published.publish(std::make_unique<Pair>(1)), nullptr);
  EXPECT_EQ(published.read().get()->first, 1);
  const std::unique_ptr<Pair> previous = published.publish(std::make_unique<Pair>(2));
  ASSERT_NE(previous, nullptr);
  EXPECT_EQ(previous->first, 1);
  EXPECT_EQ(published.readerCount(), 0);
}

// A held reader keeps its object: the publication switches at once, and hands the old object
// back only once the reader is gone.
TEST(PublishedTest, PublishWaitsForTheReadersOfTheObjectItReplaces) {
  Published<Pair> published;
  published.publish(std::make_unique<Pair>(1));
  auto held = std::make_unique<Published<Pair>::Reader>(published.read());
  std::atomic<bool> returned{false};
  std::thread publisher([&] {
    published.publish(std::make_unique<Pair>(2));
    returned = true;
  });
  while (published.read().get()->first != 2) std::this_thread::yield();
  EXPECT_EQ(held->get()->first, 1);
  EXPECT_FALSE(returned.load());
  held.reset();
  publisher.join();
  EXPECT_TRUE(returned.load());
}

// Readers on more threads than there are stripes of the count, so that threads share stripes:
// each is counted, and the replaced object is handed back only after the last has let go.
TEST(PublishedTest, PublishWaitsForEveryReaderOnEveryThread) {
  Published<Pair> published;
  published.publish(std::make_unique<Pair>(1));
  constexpr int kThreads = Published<Pair>::kReaderStripes + 5;
  std::atomic<int> holding{0};
  std::atomic<int> released{0};
  std::atomic<int> letGo{0};
  std::atomic<int> wrongObject{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < kThreads; ++t) {
    readers.emplace_back([&, t] {
      const auto reader = published.read();
      ++holding;
      while (letGo.load() <= t) std::this_thread::yield();
      // Still the object taken: not freed, not reused for the next publication.
      if (reader.get()->first != 1 || reader.get()->second != 1) ++wrongObject;
      ++released;
    });
  }
  while (holding.load() != kThreads) std::this_thread::yield();
  EXPECT_EQ(published.readerCount(), kThreads);

  std::atomic<int> releasedWhenReturned{-1};
  std::thread publisher([&] {
    std::unique_ptr<Pair> previous = published.publish(std::make_unique<Pair>(2));
    releasedWhenReturned = released.load();
    previous.reset();  // freed at once: a reader still on it would read freed memory
  });
  while (published.read().get()->first != 2) std::this_thread::yield();
  for (int t = 1; t <= kThreads; ++t) letGo = t;
  for (std::thread& reader : readers) reader.join();
  publisher.join();
  EXPECT_EQ(releasedWhenReturned.load(), kThreads);
  EXPECT_EQ(wrongObject.load(), 0);
  EXPECT_EQ(published.readerCount(), 0);
}

TEST(PublishedTest, ReadersSeeWholeObjectsWhilePublicationsGoOn) {
  Published<Pair> published;
  published.publish(std::make_unique<Pair>(0));
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::atomic<long> reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      int last = 0;
      while (!stop.load()) {
        const auto reader = published.read();
        const Pair* pair = reader.get();
        // Values only grow: a reader never goes back to an older publication.
        if (pair->first != pair->second || pair->first < last) ++torn;
        last = pair->first;
        ++reads;
      }
    });
  }
  // Publishes until the readers have read plenty meanwhile.
  for (int v = 1; v <= 2000 || reads.load() < 20000; ++v) {
    const std::unique_ptr<Pair> previous = published.publish(std::make_unique<Pair>(v));
    EXPECT_EQ(previous->first, v - 1);
  }
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(published.readerCount(), 0);
}

}  // namespace
}  // namespace gatekeeper
