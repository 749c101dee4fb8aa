// One copy of a large file's bytes in shared memory, mapped read-only by every process of the
// same user that reads the same version of the file: the web server's processes and the CGI
// programs then hold one copy of the account database between them instead of one each.
//
// The copy is never the file itself: a file rewritten in place (copied over, saved by an
// editor that truncates) would take its pages away from under every mapping. The copy is
// made once per version of the file (its identity, size and last-write time), by the first
// process that reads that version and may make it, and named after the file's path, the
// version and the user it belongs to (the process's own; for a process running as root, the
// owner of the file, so that a server's root parent and its children share one copy);
// a newer version's copy removes the names of the older ones (processes that map them keep
// them until they unmap them).
//
// A copy may carry an appendix after the file's bytes: data its maker derived from the text
// (an index, say), so that the other processes map it instead of deriving it again. One process
// makes a version's copy while the others that want it wait for it.
#ifndef GATEKEEPER_PLATFORM_SHARED_FILE_COPY_H_
#define GATEKEEPER_PLATFORM_SHARED_FILE_COPY_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/memory.h"

namespace gatekeeper::platform {

class SharedFileCopy {
 public:
  // Files smaller than this are read by each process: their copy would save little.
  static constexpr std::size_t kSmallestShared = 4 * 1024 * 1024;

  // The shared copy of the regular file at path as it is now, made when no process has made
  // it yet and mayMake; nullptr when none can be had (none there and !mayMake, the platform
  // offers no shared memory here, the file is small or changes while it is copied, a name is
  // taken by another user or has the wrong owner or mode): the caller then reads the file
  // itself.
  //
  // A maker given makeAppendix calls it with the file's text before the copy is published and
  // stores what it returns after the text; it makes anew a copy there that carries no appendix
  // (one made by a reader that gave none).
  using AppendixMaker = std::function<BlockArray<char>(std::string_view text)>;
  static std::unique_ptr<SharedFileCopy> open(const std::string& path, bool mayMake,
                                              const AppendixMaker& makeAppendix = nullptr);
  // The directory the copies live in on this platform, "" where there are none. Removing a
  // copy there is safe at any time: the processes that map it keep it, the next reader makes
  // another.
  static std::string directory();
  // The start of the names of this user's copies of the file at path, in directory().
  static std::string namePrefix(const std::string& path);

  ~SharedFileCopy();
  SharedFileCopy(const SharedFileCopy&) = delete;
  SharedFileCopy& operator=(const SharedFileCopy&) = delete;

  std::string_view text() const { return std::string_view(data_, size_); }
  // What the maker stored after the text; empty when it stored nothing. Starts at an address
  // aligned to 8 bytes.
  std::string_view appendix() const {
    return std::string_view(data_ + appendixBegin_, appendixSize_);
  }

 private:
  SharedFileCopy(const char* data, std::size_t size, std::size_t mapped,
                 std::size_t appendixBegin, std::size_t appendixSize)
      : data_(data), size_(size), mapped_(mapped), appendixBegin_(appendixBegin),
        appendixSize_(appendixSize) {}

  const char* data_;
  std::size_t size_;     // the file's bytes
  std::size_t mapped_;   // the whole copy
  std::size_t appendixBegin_;
  std::size_t appendixSize_;
};

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_SHARED_FILE_COPY_H_
