// The text of a loaded file, shared by the sections whose contents are kept as text until first
// use, and the arena that holds those sections.
#ifndef GATEKEEPER_CONFIGSTORE_SOURCE_TEXT_H_
#define GATEKEEPER_CONFIGSTORE_SOURCE_TEXT_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "configstore/counted_ref.h"
#include "platform/memory.h"
#include "platform/shared_file_copy.h"

namespace gatekeeper {

// Reference counted (thread-safe count); made with a count of 1 and freed by the release that
// brings the count to 0, with everything allocated from it. The text never changes once made.
//
// allocate() is a bump allocator for objects that hold a reference to this object themselves:
// their memory is freed with it, as a whole, never one by one. Sections kept as text may be
// parsed on several reading threads at once, so it takes a lock.
class SourceText {
 public:
  // nullptr on allocation failure. The text is copied.
  static SourceText* adopt(std::string_view text);
  // Takes the first `length` bytes of a block as the text.
  static SourceText* adopt(platform::MemoryBlock block, size_t length);
  // Takes a file's shared copy as the text (nullptr: none).
  static SourceText* adopt(std::unique_ptr<platform::SharedFileCopy> copy);
  // Reads text that stays the caller's: it must outlive every reference to this object.
  static SourceText* borrow(std::string_view text);

  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  void addRef() { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release();

  std::string_view text() const { return view_; }
  // What the shared copy that holds the text carries after it (SharedFileCopy::appendix);
  // empty for text of any other kind.
  std::string_view appendix() const {
    return shared_ != nullptr ? shared_->appendix() : std::string_view();
  }
  // Suitably aligned memory for an object of the given size, or nullptr.
  void* allocate(size_t size);

 private:
  SourceText(platform::MemoryBlock text, size_t length)
      : text_(std::move(text)), view_(text_.data(), length) {}
  explicit SourceText(std::unique_ptr<platform::SharedFileCopy> copy)
      : view_(copy->text()), shared_(std::move(copy)) {}
  explicit SourceText(std::string_view borrowed) : view_(borrowed) {}
  ~SourceText() = default;

  std::atomic<int64_t> refs_{1};
  platform::MemoryBlock text_;
  std::string_view view_;  // the text, wherever it lives
  std::unique_ptr<platform::SharedFileCopy> shared_;  // the text, when it is a shared copy
  std::mutex arenaLock_;
  // Large chunks come in whole pages and go back to the system with the text.
  std::vector<platform::MemoryBlock> chunks_;
  size_t chunkUsed_ = 0;
  size_t chunkSize_ = 0;
};

// The contents of a section kept as the text of its lines: bytes [begin, begin + length) of
// the source, read at `depth` open sections. Verbatim contents are value lines that the writer
// writes back byte for byte at that depth; other contents are parsed before they are written.
// Holds a reference on the source: copies share it, moves hand it on.
struct DeferredContents {
  CountedRef<SourceText> source;
  size_t begin = 0;
  size_t length = 0;
  int32_t depth = 0;
  bool verbatim = false;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_SOURCE_TEXT_H_
