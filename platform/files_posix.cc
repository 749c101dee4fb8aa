#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/clock_internal.h"
#include "platform/files.h"
#include "platform/files_internal.h"

namespace gatekeeper::platform {

const char kPathSeparator = '/';

namespace internal {
const char kLineEnd[] = "\n";
}  // namespace internal

namespace {

// Writes all bytes, resuming after interruptions and short writes.
bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The file that a replacement must land on: the target of a symbolic link, so that replacing
// a linked database keeps the link; the path itself otherwise.
std::string replacementTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target(resolved);
  ::free(resolved);
  return target;
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes a completed rename durable; a failure here does not undo the replacement.
void syncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool fileVersion(const std::string& path, FileVersion* out) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  out->lastWriteTime =
      internal::fileTimeFromUnixSeconds(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 100;
  out->identity =
      static_cast<std::uint64_t>(st.st_ino) ^ (static_cast<std::uint64_t>(st.st_dev) << 48);
  out->size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool readFileContents(const std::string& path, std::string* out) {
  out->clear();
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok && st.st_size > 0) out->reserve(static_cast<std::size_t>(st.st_size));
  char chunk[1 << 16];
  while (ok) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    out->append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (!ok) std::string().swap(*out);
  return ok;
}

struct AtomicFileWriter::State {
  std::string target;
  std::string temporary;
  mode_t newFileMode = 0600;
  int fd = -1;
  bool failed = false;
};

AtomicFileWriter::AtomicFileWriter(const std::string& path, NewFileAccess newFileAccess)
    : state_(new State) {
  if (newFileAccess == NewFileAccess::kEveryoneReads) state_->newFileMode = 0644;
  if (path.empty()) return;
  state_->target = replacementTarget(path);
  std::string pattern = state_->target + ".XXXXXX";
  // mkstemp creates the file with mode 0600; commit() widens it where asked.
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  state_->fd = fd;
  state_->temporary = pattern;
}

AtomicFileWriter::~AtomicFileWriter() {
  if (state_->fd >= 0) {
    ::close(state_->fd);
    ::unlink(state_->temporary.c_str());
  }
}

bool AtomicFileWriter::isOpen() const { return state_->fd >= 0; }

bool AtomicFileWriter::write(const char* data, std::size_t size) {
  if (state_->fd < 0 || state_->failed) return false;
  if (!writeAll(state_->fd, data, size)) state_->failed = true;
  return !state_->failed;
}

bool AtomicFileWriter::commit() {
  if (state_->fd < 0) return false;
  const int fd = state_->fd;
  state_->fd = -1;
  bool ok = !state_->failed;
  struct stat existing;
  if (ok && ::stat(state_->target.c_str(), &existing) == 0) {
    // Keep the replaced file's owner where the process may, and always its mode.
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        // Not permitted: the file keeps this process's owner.
      }
    }
    ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
  } else if (ok && state_->newFileMode != 0600) {
    ok = ::fchmod(fd, state_->newFileMode) == 0;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(state_->temporary.c_str(), state_->target.c_str()) == 0;
  if (!ok) {
    ::unlink(state_->temporary.c_str());
    return false;
  }
  syncDirectory(directoryOf(state_->target));
  return true;
}

struct FileLock::State {
  int fd = -1;
};

FileLock::FileLock(const std::string& lockPath) : state_(new State) {
  if (lockPath.empty()) return;
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return;
  }
  state_->fd = fd;
}

FileLock::~FileLock() {
  if (state_->fd >= 0) ::close(state_->fd);  // closing releases the lock
}

bool FileLock::isHeld() const { return state_->fd >= 0; }

void sleepMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return;
  struct timespec remaining = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace gatekeeper::platform
