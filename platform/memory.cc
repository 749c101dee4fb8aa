#include "platform/memory.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/memory_internal.h"

namespace gatekeeper::platform {

MemoryBlock MemoryBlock::allocate(std::size_t size) {
  MemoryBlock block;
  if (size == 0) return block;
  if (size >= kPageBlockSize) {
    block.data_ = internal::allocatePages(size, &block.size_);
    block.pages_ = block.data_ != nullptr;
  } else {
    block.data_ = static_cast<char*>(std::malloc(size));
    block.size_ = block.data_ != nullptr ? size : 0;
  }
  return block;
}

MemoryBlock::MemoryBlock(MemoryBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      pages_(std::exchange(other.pages_, false)) {}

MemoryBlock& MemoryBlock::operator=(MemoryBlock&& other) noexcept {
  if (this != &other) {
    free();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    pages_ = std::exchange(other.pages_, false);
  }
  return *this;
}

bool MemoryBlock::resize(std::size_t size, std::size_t keep) {
  MemoryBlock bigger = allocate(size);
  if (!bigger) return false;
  if (keep > size_) keep = size_;
  if (keep > size) keep = size;
  if (keep > 0) std::memcpy(bigger.data_, data_, keep);
  *this = std::move(bigger);
  return true;
}

void MemoryBlock::free() {
  if (data_ == nullptr) return;
  if (pages_) {
    internal::releasePages(data_, size_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  size_ = 0;
  pages_ = false;
}

}  // namespace gatekeeper::platform
