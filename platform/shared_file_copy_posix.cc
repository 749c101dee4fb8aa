#include "platform/shared_file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "platform/memory.h"

namespace gatekeeper::platform {
namespace {

constexpr char kDirectory[] = "/dev/shm";
constexpr char kNamePrefix[] = "kestrel-gatekeeper-";
constexpr char kTemporaryMark[] = ".tmp.";

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

std::string SharedFileCopy::namePrefix(const std::string& path) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a of the path's bytes
  for (const char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  std::string prefix = kNamePrefix;
  prefix += std::to_string(::geteuid());
  prefix += '-';
  prefix += hex(hash);
  prefix += '-';
  return prefix;
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

// Copies size bytes of from into to.
bool copyBytes(int from, int to, std::size_t size) {
  std::size_t copied = 0;
  std::vector<char> buffer(1 << 20);
  while (copied < size) {
    const ssize_t got = ::pread(from, buffer.data(), buffer.size(), static_cast<off_t>(copied));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    std::size_t written = 0;
    while (written < static_cast<std::size_t>(got)) {
      const std::size_t left = static_cast<std::size_t>(got) - written;
      const ssize_t put = ::write(to, buffer.data() + written, left);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      written += static_cast<std::size_t>(put);
    }
    copied += static_cast<std::size_t>(got);
  }
  // A file that grew while it was copied is another version.
  char more = 0;
  return ::pread(from, &more, 1, static_cast<off_t>(size)) == 0;
}

// Removes this user's copies of other versions of the same file (not files being made).
void removeOtherVersions(const std::string& prefix, const std::string& keep) {
  DIR* directory = ::opendir(kDirectory);
  if (directory == nullptr) return;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0 || name == keep ||
        name.find(kTemporaryMark) != std::string::npos) {
      continue;
    }
    struct stat st;
    if (::fstatat(::dirfd(directory), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
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

std::unique_ptr<SharedFileCopy> SharedFileCopy::open(const std::string& path, bool mayMake) {
  if (path.empty() || directory().empty()) return nullptr;
  const Descriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat version;
  if (source.get() < 0 || ::fstat(source.get(), &version) != 0 || !S_ISREG(version.st_mode) ||
      static_cast<std::size_t>(version.st_size) < kSmallestShared) {
    return nullptr;
  }
  const std::size_t size = static_cast<std::size_t>(version.st_size);
  const std::string prefix = namePrefix(path);
  const std::string name = prefix + versionName(version);
  const std::string copyPath = std::string(kDirectory) + "/" + name;

  // The copy is used only when this user made it (nobody else can have written it: it is
  // created exclusively, owner-only, in a sticky directory) and it holds the whole version.
  auto mapCopy = [&]() -> std::unique_ptr<SharedFileCopy> {
    const Descriptor copy(::open(copyPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (copy.get() < 0 || ::fstat(copy.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid() || (st.st_mode & 07777) != 0400 ||
        static_cast<std::size_t>(st.st_size) != size) {
      return nullptr;
    }
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, copy.get(), 0);
    if (data == MAP_FAILED) return nullptr;
    std::unique_ptr<SharedFileCopy> mapped(
        new (std::nothrow) SharedFileCopy(static_cast<const char*>(data), size));
    if (mapped == nullptr) ::munmap(data, size);
    return mapped;
  };
  if (auto existing = mapCopy()) return existing;
  if (!mayMake) return nullptr;

  std::string temporary = copyPath + kTemporaryMark + "XXXXXX";
  const Descriptor made(::mkostemp(temporary.data(), O_CLOEXEC));
  if (made.get() < 0) return nullptr;
  struct stat after;
  // Read-only once made: a copy is never written again, by this process or another.
  const bool whole = copyBytes(source.get(), made.get(), size) &&
                     ::fstat(source.get(), &after) == 0 && sameVersion(version, after) &&
                     ::fchmod(made.get(), 0400) == 0 &&
                     ::rename(temporary.c_str(), copyPath.c_str()) == 0;
  if (!whole) {
    ::unlink(temporary.c_str());
    return nullptr;
  }
  removeOtherVersions(prefix, name);
  return mapCopy();
}

SharedFileCopy::~SharedFileCopy() {
  // In pieces, as MemoryBlock frees its pages: one call for the whole copy would hold the
  // process's address-space lock for long while other threads take page faults.
  char* const data = const_cast<char*>(data_);
  for (std::size_t done = 0; done < size_; done += MemoryBlock::kReleasePiece) {
    const std::size_t piece =
        size_ - done < MemoryBlock::kReleasePiece ? size_ - done : MemoryBlock::kReleasePiece;
    ::munmap(data + done, piece);
  }
}

}  // namespace gatekeeper::platform
