// One object in force at a time, read by many threads without locks and replaced by one.
#ifndef GATEKEEPER_FILTER_PUBLISHED_H_
#define GATEKEEPER_FILTER_PUBLISHED_H_

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

namespace gatekeeper {

// Holds the object in force in one of two slots, each with a count of the readers that hold
// it. A reader takes the slot in force with two atomic operations and never waits, neither on
// other readers nor on a replacement. publish() puts a new object in the other slot, switches
// to it, then waits until no reader holds the slot left behind and hands back the object it
// held: the replacing thread, not the readers, pays for the wait and for freeing the object.
// Readers see whole objects only: one that was published before they took it.
template <typename T>
class Published {
  struct alignas(64) Slot {
    std::atomic<long> readers{0};
    std::unique_ptr<T> object;
  };

 public:
  // Keeps the object in force alive and unchanged for its own life.
  class Reader {
   public:
    Reader(Reader&& other) noexcept : slot_(std::exchange(other.slot_, nullptr)) {}
    Reader& operator=(Reader&&) = delete;
    ~Reader() {
      if (slot_ != nullptr) slot_->readers.fetch_sub(1);
    }
    // The object in force when the reader was taken; nullptr when none had been published.
    T* get() const { return slot_->object.get(); }

   private:
    friend class Published;
    explicit Reader(Slot* slot) : slot_(slot) {}
    Slot* slot_;
  };

  Published() = default;
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  Reader read() const {
    for (;;) {
      const int index = current_.load();
      Slot& slot = slots_[index];
      slot.readers.fetch_add(1);
      // Still in force after the count was raised: publish() now waits for this reader before
      // it frees or reuses the slot. Otherwise the slot was switched away meanwhile; try again.
      if (current_.load() == index) return Reader(&slot);
      slot.readers.fetch_sub(1);
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
  long readerCount() const { return slots_[0].readers.load() + slots_[1].readers.load(); }

 private:
  static void waitUntilUnheld(const Slot& slot) {
    for (int spins = 0; slot.readers.load() != 0; ++spins) {
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
