// One object in force at a time, read by many threads without locks and replaced by one.
#ifndef GATEKEEPER_FILTER_PUBLISHED_H_
#define GATEKEEPER_FILTER_PUBLISHED_H_

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

namespace gatekeeper {

// The reader count of this thread among the kReaderStripes counts of a slot: threads take them
// in turn, so that readers on different cores seldom write to the same cache line.
inline unsigned publishedReaderStripe() {
  static std::atomic<unsigned> next{0};
  thread_local const unsigned stripe = next.fetch_add(1, std::memory_order_relaxed);
  return stripe;
}

// Holds the object in force in one of two slots, each with a count of the readers that hold
// it. A reader takes the slot in force with two atomic operations and never waits, neither on
// other readers nor on a replacement. publish() puts a new object in the other slot, switches
// to it, then waits until no reader holds the slot left behind and hands back the object it
// held: the replacing thread, not the readers, pays for the wait and for freeing the object.
// Readers see whole objects only: one that was published before they took it.
//
// A slot's count is split into stripes on cache lines of their own, a reader raising and
// lowering the stripe of its thread: readers on several cores then do not contend for one
// line. A stripe never counts fewer than the readers that hold the slot through it, so the sum
// that publish() waits on is zero only when no reader holds the slot.
template <typename T>
class Published {
 public:
  static constexpr unsigned kReaderStripes = 32;

 private:
  struct alignas(64) Stripe {
    std::atomic<long> readers{0};
  };
  struct Slot {
    Stripe stripes[kReaderStripes];
    alignas(64) std::unique_ptr<T> object;

    long readers() const {
      long sum = 0;
      for (const Stripe& stripe : stripes) sum += stripe.readers.load();
      return sum;
    }
  };

 public:
  // Keeps the object in force alive and unchanged for its own life.
  class Reader {
   public:
    Reader(Reader&& other) noexcept
        : slot_(std::exchange(other.slot_, nullptr)), count_(other.count_) {}
    Reader& operator=(Reader&&) = delete;
    ~Reader() {
      if (slot_ != nullptr) count_->fetch_sub(1);
    }
    // The object in force when the reader was taken; nullptr when none had been published.
    T* get() const { return slot_->object.get(); }

   private:
    friend class Published;
    Reader(Slot* slot, std::atomic<long>* count) : slot_(slot), count_(count) {}
    Slot* slot_;
    std::atomic<long>* count_;
  };

  Published() = default;
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  Reader read() const {
    const unsigned stripe = publishedReaderStripe() % kReaderStripes;
    for (;;) {
      const int index = current_.load();
      Slot& slot = slots_[index];
      std::atomic<long>& count = slot.stripes[stripe].readers;
      count.fetch_add(1);
      // Still in force after the count was raised: publish() now waits for this reader before
      // it frees or reuses the slot. Otherwise the slot was switched away meanwhile; try again.
      if (current_.load() == index) return Reader(&slot, &count);
      count.fetch_sub(1);
    }
  }

  // Puts next in force and returns the object that was in force (nullptr when none), once no
  // reader holds it any more. One publisher at a time: callers serialise their calls.
  std::unique_ptr<T> publish(std::unique_ptr<T> next) {
    const int previous = current_.load();
    Slot& spare = slots_[1 - previous];
    // Only readers that looked before the last switch and are about to retry count here.
    waitUntilUnheld(spare);
    spare.object = std::move(next);
    current_.store(1 - previous);
    Slot& left = slots_[previous];
    waitUntilUnheld(left);
    return std::move(left.object);
  }

  // Readers holding either slot now (decisions in progress, for tests and diagnostics).
  long readerCount() const { return slots_[0].readers() + slots_[1].readers(); }

 private:
  static void waitUntilUnheld(const Slot& slot) {
    for (int spins = 0; slot.readers() != 0; ++spins) {
      if (spins < 1000) {
        std::this_thread::yield();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  }

  mutable Slot slots_[2];
  alignas(64) std::atomic<int> current_{0};
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_PUBLISHED_H_
