// Memory services: blocks of memory for large, long-lived data.
#ifndef GATEKEEPER_PLATFORM_MEMORY_H_
#define GATEKEEPER_PLATFORM_MEMORY_H_

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace gatekeeper::platform {

// An owned block of memory for large, long-lived data: a loaded file's text, an arena's chunks.
//
// A large block (kPageBlockSize and more) comes straight from the operating system in whole
// pages. Freeing it hands its memory back at once, without staying in any allocator's pools
// (where a freed tree would keep the process large after a reload), and in pieces of at most
// kReleasePiece, so that no single call holds the process's address-space lock for long while
// other threads take page faults. A small block comes from the C heap.
class MemoryBlock {
 public:
  static constexpr std::size_t kPageBlockSize = 1024 * 1024;
  static constexpr std::size_t kReleasePiece = 8 * 1024 * 1024;

  MemoryBlock() = default;
  // A block of at least `size` bytes (its contents undetermined); an empty block (false) when
  // the memory cannot be had or size is 0.
  static MemoryBlock allocate(std::size_t size);
  ~MemoryBlock() { free(); }
  MemoryBlock(MemoryBlock&& other) noexcept;
  MemoryBlock& operator=(MemoryBlock&& other) noexcept;
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;

  explicit operator bool() const { return data_ != nullptr; }
  char* data() const { return data_; }
  // The usable size: at least the size asked for.
  std::size_t size() const { return size_; }
  // Replaces the block by one of at least `size` bytes that starts with the first `keep` bytes
  // of this one. false (this block unchanged) when the memory cannot be had.
  bool resize(std::size_t size, std::size_t keep);

 private:
  void free();

  char* data_ = nullptr;
  std::size_t size_ = 0;
  bool pages_ = false;  // from the operating system, not the C heap
};

// A growable array of trivially copyable values in a MemoryBlock: a large one, made for a
// while (an index being built, a section's children listed), goes back to the system when it
// is freed instead of staying in the C heap's pools.
template <typename T>
class BlockArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return reinterpret_cast<T*>(block_.data()); }
  const T* data() const { return reinterpret_cast<const T*>(block_.data()); }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }
  void clear() { size_ = 0; }
  // Drops the values from index `size` on.
  void truncate(std::size_t size) {
    if (size < size_) size_ = size;
  }
  // Appends; false when the memory cannot be had (the array unchanged).
  bool push(const T& value) { return append(&value, 1); }
  // Appends count values; false when the memory cannot be had (the array unchanged).
  bool append(const T* values, std::size_t count) {
    if (!reserve(size_ + count)) return false;
    if (count != 0) std::memcpy(block_.data() + size_ * sizeof(T), values, count * sizeof(T));
    size_ += count;
    return true;
  }
  // Makes it hold `count` copies of value; false when the memory cannot be had.
  bool assign(std::size_t count, const T& value) {
    size_ = 0;
    if (!reserve(count)) return false;
    for (std::size_t i = 0; i < count; ++i) {
      std::memcpy(block_.data() + i * sizeof(T), &value, sizeof(T));
    }
    size_ = count;
    return true;
  }

 private:
  // Room for `count` values, growing at least twofold.
  bool reserve(std::size_t count) {
    if (count <= block_.size() / sizeof(T)) return true;
    std::size_t room = size_ < 32 ? 64 : 2 * size_;
    if (room < count) room = count;
    return block_.resize(room * sizeof(T), size_ * sizeof(T));
  }

  MemoryBlock block_;
  std::size_t size_ = 0;
};

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_MEMORY_H_
