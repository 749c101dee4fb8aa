// Memory services: blocks of memory for large, long-lived data.
#ifndef GATEKEEPER_PLATFORM_MEMORY_H_
#define GATEKEEPER_PLATFORM_MEMORY_H_

#include <cstddef>

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

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_MEMORY_H_
