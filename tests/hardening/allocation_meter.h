// Test helper: counts the bytes that operator new hands out in this test program, so that a
// test can bound the memory a piece of work needs. Including this header replaces the global
// operator new and delete of the program (include it in one source file only).
#ifndef GATEKEEPER_TESTS_HARDENING_ALLOCATION_METER_H_
#define GATEKEEPER_TESTS_HARDENING_ALLOCATION_METER_H_

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace gatekeeper {

class AllocationMeter {
 public:
  // Starts a measurement: the peak is taken from the bytes in use now.
  AllocationMeter() : start_(inUse().load()) { peak().store(start_); }
  // The most bytes in use at any moment since construction, above those in use then.
  std::size_t peakAbove() const { return peak().load() - start_; }
  static void added(std::size_t size) {
    const std::size_t now = inUse().fetch_add(size) + size;
    std::size_t high = peak().load();
    while (now > high && !peak().compare_exchange_weak(high, now)) {
    }
  }
  static void removed(std::size_t size) { inUse().fetch_sub(size); }

 private:
  static std::atomic<std::size_t>& inUse() {
    static std::atomic<std::size_t> bytes{0};
    return bytes;
  }
  static std::atomic<std::size_t>& peak() {
    static std::atomic<std::size_t> bytes{0};
    return bytes;
  }
  std::size_t start_;
};

}  // namespace gatekeeper

// Each block carries its size in a header of max_align_t's size in front of it.
inline constexpr std::size_t kAllocationHeader = alignof(std::max_align_t);

void* operator new(std::size_t size) {
  void* block = std::malloc(size + kAllocationHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  gatekeeper::AllocationMeter::added(size);
  return static_cast<char*>(block) + kAllocationHeader;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* memory) noexcept {
  if (memory == nullptr) return;
  char* block = static_cast<char*>(memory) - kAllocationHeader;
  gatekeeper::AllocationMeter::removed(*reinterpret_cast<std::size_t*>(block));
  std::free(block);
}
void operator delete[](void* memory) noexcept { operator delete(memory); }
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete[](void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { operator delete(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { operator delete(memory); }

#endif  // GATEKEEPER_TESTS_HARDENING_ALLOCATION_METER_H_
