#include "configstore/source_text.h"

#include <cstdlib>
#include <new>

namespace gatekeeper {

namespace {

constexpr size_t kAlignment = alignof(std::max_align_t);
constexpr size_t kFirstChunk = 64 * 1024;
constexpr size_t kLargestChunk = 16 * 1024 * 1024;

}  // namespace

SourceText* SourceText::adopt(std::string text) {
  return new (std::nothrow) SourceText(std::move(text));
}

SourceText::~SourceText() {
  for (char* chunk : chunks_) std::free(chunk);
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
    char* chunk = static_cast<char*>(std::malloc(next));
    if (chunk == nullptr) return nullptr;
    chunks_.push_back(chunk);
    chunkSize_ = next;
    chunkUsed_ = 0;
  }
  void* memory = chunks_.back() + chunkUsed_;
  chunkUsed_ += size;
  return memory;
}

}  // namespace gatekeeper
