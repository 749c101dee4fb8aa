#include "platform/shared_file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/files_internal.h"
#include "platform/memory.h"

namespace gatekeeper::platform {
namespace {

constexpr char kDirectory[] = "/dev/shm";
constexpr char kNamePrefix[] = "kestrel-gatekeeper-";
constexpr char kTemporaryMark[] = ".tmp.";
constexpr char kLockSuffix[] = ".lock";

// A copy with an appendix: the file's bytes, zeros up to a multiple of 8, the appendix, then
// the trailer: the appendix's size and this mark, 8 bytes each.
constexpr std::uint64_t kAppendixMark = 0x4b47415050454e44ull;  // "KGAPPEND"
constexpr std::size_t kTrailerSize = 16;

std::size_t alignedTo8(std::size_t size) { return (size + 7) & ~static_cast<std::size_t>(7); }

// A file descriptor closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string hex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (std::size_t i = 16; i-- > 0; value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

}  // namespace

namespace {

// The user whose copies a process reads and makes: its own, except for a process running as
// root (Apache's parent, which starts the children that run as the server's user): that one
// takes the copies of the database file's owner, whose content it reads anyway, so that it
// shares one copy with its children instead of keeping one of its own.
uid_t copyOwner(const struct stat& file) {
  const uid_t self = ::geteuid();
  return self == 0 ? file.st_uid : self;
}

std::string prefixFor(const std::string& path, uid_t owner) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a of the path's bytes
  for (const char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  std::string prefix = kNamePrefix;
  prefix += std::to_string(owner);
  prefix += '-';
  prefix += hex(hash);
  prefix += '-';
  return prefix;
}

}  // namespace

std::string SharedFileCopy::namePrefix(const std::string& path) {
  struct stat file;
  if (::stat(path.c_str(), &file) != 0) file.st_uid = ::geteuid();
  return prefixFor(path, copyOwner(file));
}

namespace {

// The version part: the file's device, inode, size and last-write time to the nanosecond.
std::string versionName(const struct stat& st) {
  std::string name = hex(static_cast<std::uint64_t>(st.st_dev));
  name += hex(static_cast<std::uint64_t>(st.st_ino));
  name += hex(static_cast<std::uint64_t>(st.st_size));
  name += hex(static_cast<std::uint64_t>(st.st_mtim.tv_sec));
  name += hex(static_cast<std::uint64_t>(st.st_mtim.tv_nsec));
  return name;
}

bool sameVersion(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool writeAll(int to, const char* data, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const ssize_t put = ::write(to, data + written, size - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    written += static_cast<std::size_t>(put);
  }
  return true;
}

// Copies size bytes of from into to.
bool copyBytes(int from, int to, std::size_t size) {
  std::size_t copied = 0;
  std::vector<char> buffer(1 << 20);
  while (copied < size) {
    const ssize_t got = ::pread(from, buffer.data(), buffer.size(), static_cast<off_t>(copied));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (!writeAll(to, buffer.data(), static_cast<std::size_t>(got))) return false;
    copied += static_cast<std::size_t>(got);
  }
  // A file that grew while it was copied is another version.
  char more = 0;
  return ::pread(from, &more, 1, static_cast<off_t>(size)) == 0;
}

// Writes the appendix that the maker derives from the copy's text (size bytes of the file
// `to`, already written), with the padding before it and the trailer after it.
bool appendTo(int to, std::size_t size, const SharedFileCopy::AppendixMaker& makeAppendix) {
  void* text = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, to, 0);
  if (text == MAP_FAILED) return false;
  const BlockArray<char> appendix =
      makeAppendix(std::string_view(static_cast<char*>(text), size));
  ::munmap(text, size);
  const char zeros[8] = {};
  std::uint64_t trailer[2] = {appendix.size(), kAppendixMark};
  char trailerBytes[kTrailerSize];
  std::memcpy(trailerBytes, trailer, kTrailerSize);
  return writeAll(to, zeros, alignedTo8(size) - size) &&
         writeAll(to, appendix.data(), appendix.size()) &&
         writeAll(to, trailerBytes, kTrailerSize);
}

// Holds an exclusive lock on the file at path (created owner-only when missing) while it
// lives, so that one process makes a copy while the others wait for it; removes the file
// when done. Not held when the file cannot be had as this user's own regular file.
//
// Whoever takes the lock looks for the copy again before making one. A process that locks a
// removed lock file, or a new one made after the removal, then finds the copy made meanwhile;
// only after a failed making may two processes make the copy at once, each into a file of its
// own, the last rename winning.
class MakerLock {
 public:
  MakerLock(std::string path, uid_t owner)
      : path_(std::move(path)),
        fd_(::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
    struct stat st;
    if (fd_.get() < 0 || ::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        (st.st_uid != owner && st.st_uid != ::geteuid())) {
      return;
    }
    // Made by root for the copies' owner: theirs, so that their processes can take it too.
    if (st.st_uid != owner && ::fchown(fd_.get(), owner, static_cast<gid_t>(-1)) != 0) return;
    // A maker that hangs must not hold the others for ever: after the wait they make copies
    // of their own.
    for (int waited = 0; waited < kLongestWaitMs; waited += kPollMs) {
      if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) return;
      ::usleep(kPollMs * 1000);
    }
  }
  ~MakerLock() {
    if (held_) ::unlink(path_.c_str());
  }
  MakerLock(const MakerLock&) = delete;
  MakerLock& operator=(const MakerLock&) = delete;
  bool held() const { return held_; }

 private:
  static constexpr int kPollMs = 5;
  static constexpr int kLongestWaitMs = 30000;

  const std::string path_;
  Descriptor fd_;  // closing it releases the lock
  bool held_ = false;
};

// Removes this user's copies of other versions of the same file (not files being made).
void removeOtherVersions(const std::string& prefix, const std::string& keep, uid_t owner) {
  DIR* directory = ::opendir(kDirectory);
  if (directory == nullptr) return;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0 || name.compare(0, keep.size(), keep) == 0 ||
        name.find(kTemporaryMark) != std::string::npos) {
      continue;
    }
    struct stat st;
    if (::fstatat(::dirfd(directory), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == owner) {
      ::unlinkat(::dirfd(directory), name.c_str(), 0);
    }
  }
  ::closedir(directory);
}

}  // namespace

std::string SharedFileCopy::directory() {
  struct stat st;
  return ::stat(kDirectory, &st) == 0 && S_ISDIR(st.st_mode) ? kDirectory : "";
}

std::unique_ptr<SharedFileCopy> SharedFileCopy::open(const std::string& path, bool mayMake,
                                                     const AppendixMaker& makeAppendix) {
  if (path.empty() || directory().empty()) return nullptr;
  const Descriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.get() >= 0) internal::refreshAttributes(source.get());
  struct stat version;
  if (source.get() < 0 || ::fstat(source.get(), &version) != 0 || !S_ISREG(version.st_mode) ||
      static_cast<std::size_t>(version.st_size) < kSmallestShared) {
    return nullptr;
  }
  const std::size_t size = static_cast<std::size_t>(version.st_size);
  const uid_t owner = copyOwner(version);
  const std::string prefix = prefixFor(path, owner);
  const std::string name = prefix + versionName(version);
  const std::string copyPath = std::string(kDirectory) + "/" + name;

  // The copy is used only when its owner's processes made it (nobody else can have written it:
  // it is created exclusively, owner-only, in a sticky directory) and it holds the whole
  // version, with a whole appendix when it has one.
  auto mapCopy = [&]() -> std::unique_ptr<SharedFileCopy> {
    const Descriptor copy(::open(copyPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (copy.get() < 0 || ::fstat(copy.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != owner || (st.st_mode & 07777) != 0400) {
      return nullptr;
    }
    const std::size_t mappedSize = static_cast<std::size_t>(st.st_size);
    const std::size_t appendixBegin = alignedTo8(size);
    if (mappedSize != size && mappedSize < appendixBegin + kTrailerSize) return nullptr;
    // A maker of appendices makes the copy again when the one there was made without (by a
    // program that reads the file once): the next version's readers would miss its appendix.
    if (mappedSize == size && makeAppendix != nullptr && mayMake) return nullptr;
    void* data = ::mmap(nullptr, mappedSize, PROT_READ, MAP_SHARED, copy.get(), 0);
    if (data == MAP_FAILED) return nullptr;
    std::size_t appendixSize = 0;
    if (mappedSize != size) {
      std::uint64_t trailer[2];
      std::memcpy(trailer, static_cast<const char*>(data) + mappedSize - kTrailerSize,
                  kTrailerSize);
      appendixSize = static_cast<std::size_t>(trailer[0]);
      if (trailer[1] != kAppendixMark ||
          trailer[0] != mappedSize - appendixBegin - kTrailerSize) {
        ::munmap(data, mappedSize);
        return nullptr;
      }
    }
    std::unique_ptr<SharedFileCopy> mapped(new (std::nothrow) SharedFileCopy(
        static_cast<const char*>(data), size, mappedSize, appendixBegin, appendixSize));
    if (mapped == nullptr) ::munmap(data, mappedSize);
    return mapped;
  };
  if (auto existing = mapCopy()) return existing;
  if (!mayMake) return nullptr;
  // The processes that find no copy wait while the first of them makes it, then map it.
  const MakerLock lock(copyPath + kLockSuffix, owner);
  if (lock.held()) {
    if (auto made = mapCopy()) return made;
  }

  std::string temporary = copyPath + kTemporaryMark + "XXXXXX";
  const Descriptor made(::mkostemp(temporary.data(), O_CLOEXEC));
  if (made.get() < 0) return nullptr;
  struct stat after;
  // Read-only once made: a copy is never written again, by this process or another.
  const bool whole = copyBytes(source.get(), made.get(), size) &&
                     ::fstat(source.get(), &after) == 0 && sameVersion(version, after) &&
                     (makeAppendix == nullptr || appendTo(made.get(), size, makeAppendix)) &&
                     (owner == ::geteuid() ||
                      ::fchown(made.get(), owner, static_cast<gid_t>(-1)) == 0) &&
                     ::fchmod(made.get(), 0400) == 0 &&
                     ::rename(temporary.c_str(), copyPath.c_str()) == 0;
  if (!whole) {
    ::unlink(temporary.c_str());
    return nullptr;
  }
  removeOtherVersions(prefix, name, owner);
  return mapCopy();
}

SharedFileCopy::~SharedFileCopy() {
  // In pieces, as MemoryBlock frees its pages: one call for the whole copy would hold the
  // process's address-space lock for long while other threads take page faults.
  char* const data = const_cast<char*>(data_);
  for (std::size_t done = 0; done < mapped_; done += MemoryBlock::kReleasePiece) {
    const std::size_t piece =
        mapped_ - done < MemoryBlock::kReleasePiece ? mapped_ - done : MemoryBlock::kReleasePiece;
    ::munmap(data + done, piece);
  }
}

}  // namespace gatekeeper::platform
