#include "configstore/source_text.h"

#include <cstring>
#include <new>

namespace gatekeeper {

namespace {

constexpr size_t kAlignment = alignof(std::max_align_t);
constexpr size_t kFirstChunk = 64 * 1024;
constexpr size_t kLargestChunk = 16 * 1024 * 1024;

}  // namespace

SourceText* SourceText::adopt(std::string_view text) {
  platform::MemoryBlock block = platform::MemoryBlock::allocate(text.size() + 1);
  if (!block) return nullptr;
  if (!text.empty()) std::memcpy(block.data(), text.data(), text.size());
  return adopt(std::move(block), text.size());
}

SourceText* SourceText::adopt(platform::MemoryBlock block, size_t length) {
  if (!block || length > block.size()) return nullptr;
  return new (std::nothrow) SourceText(std::move(block), length);
}

SourceText* SourceText::adopt(std::unique_ptr<platform::SharedFileCopy> copy) {
  if (copy == nullptr) return nullptr;
  return new (std::nothrow) SourceText(std::move(copy));
}

SourceText* SourceText::borrow(std::string_view text) {
  return new (std::nothrow) SourceText(text);
}

void SourceText::release() {
  if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void* SourceText::allocate(size_t size) {
  size = (size + kAlignment - 1) / kAlignment * kAlignment;
  const std::lock_guard<std::mutex> lock(arenaLock_);
  if (chunks_.empty() || chunkUsed_ + size > chunkSize_) {
    // Chunks double up to a limit, so a small file costs little and a large one few chunks.
    size_t next = chunkSize_ == 0 ? kFirstChunk : chunkSize_ * 2;
    if (next > kLargestChunk) next = kLargestChunk;
    if (next < size) next = size;
    try {
      chunks_.reserve(chunks_.size() + 1);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    platform::MemoryBlock chunk = platform::MemoryBlock::allocate(next);
    if (!chunk) return nullptr;
    chunkSize_ = chunk.size();
    chunkUsed_ = 0;
    chunks_.push_back(std::move(chunk));
  }
  void* memory = chunks_.back().data() + chunkUsed_;
  chunkUsed_ += size;
  return memory;
}

}  // namespace gatekeeper
