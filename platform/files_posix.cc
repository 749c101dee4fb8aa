#include <dirent.h>
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

namespace {
constexpr mode_t kNewLockMode = 0600;
}  // namespace

namespace internal {
const char kLineEnd[] = "\n";

void refreshAttributes(int fd) {
  struct statx fresh;
  ::statx(fd, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_BASIC_STATS, &fresh);
}
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

// Temporary files of a replacement are named by the target's name plus this and six
// characters from mkstemp. While its writer lives, a temporary file is locked (flock): one that
// can be locked belongs to a writer that died before it committed.
constexpr char kTemporaryInfix[] = ".~tmp-";
constexpr std::size_t kTemporaryRandomLength = 6;

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether the open file fd is still the one named path (not replaced or removed meanwhile).
bool stillNamed(int fd, const std::string& path) {
  struct stat opened;
  struct stat named;
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

// Removes the temporary files that writers of target left behind when they were killed in the
// middle of a save. A live writer's file is locked and stays; so does anything not named
// exactly as a temporary file of this target.
void removeStaleTemporaries(const std::string& target) {
  const std::string directory = directoryOf(target);
  const std::string prefix = fileNameOf(target) + kTemporaryInfix;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + kTemporaryRandomLength ||
        name.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    const std::string path = directory + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                       ::flock(fd, LOCK_EX | LOCK_NB) == 0 && stillNamed(fd, path);
    // Some network file system clients refuse to remove a file that is open (smbnetfs: EBUSY):
    // it is removed again once closed.
    const bool busy = stale && ::unlink(path.c_str()) != 0 && errno == EBUSY;
    ::close(fd);  // releases the lock
    if (busy) ::unlink(path.c_str());
  }
  ::closedir(dir);
}

// Gives the new file a last-write time later than the replaced file's where it would not have
// one: a file system that keeps whole seconds (sshfs) would otherwise show two saves within
// one second, of the same size, as the same version to the other hosts, whose client keeps
// its inode number for the name. Where the clock runs ahead of such saves, each is a second
// past the one before until the clock catches up.
void laterThanReplaced(int fd, const struct stat& replaced) {
  struct stat written;
  if (::fstat(fd, &written) != 0) return;
  const struct timespec& was = replaced.st_mtim;
  const struct timespec& is = written.st_mtim;
  if (is.tv_sec > was.tv_sec || (is.tv_sec == was.tv_sec && is.tv_nsec > was.tv_nsec)) return;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {was.tv_sec + 1, 0}};
  ::futimens(fd, times);  // a file system that cannot set it keeps its own time
}

// Creates and locks a new temporary file for target; -1 when none can be made. A cleaner may
// have taken the file between its creation and the lock: then it is gone, and a new one is made.
int createLockedTemporary(const std::string& target, std::string* temporary) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::string pattern = target + kTemporaryInfix + std::string(kTemporaryRandomLength, 'X');
    // mkstemp creates the file with mode 0600; commit() widens it where asked.
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return -1;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0 && stillNamed(fd, pattern)) {
      *temporary = pattern;
      return fd;
    }
    ::close(fd);
    if (rc != 0) {
      ::unlink(pattern.c_str());
      return -1;
    }
  }
  return -1;
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

bool readFileContents(const std::string& path, MemoryBlock* out, std::size_t* length) {
  *out = MemoryBlock();
  *length = 0;
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  internal::refreshAttributes(fd);
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  // One byte more than the file holds, so that reaching its end needs no second block.
  if (ok) ok = out->resize(static_cast<std::size_t>(st.st_size) + 1, 0);
  std::size_t used = 0;
  while (ok) {
    // A file that grew meanwhile: a block twice as large.
    if (used == out->size()) ok = out->resize(2 * out->size(), used);
    if (!ok) break;
    const ssize_t got = ::read(fd, out->data() + used, out->size() - used);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    used += static_cast<std::size_t>(got);
  }
  ::close(fd);
  if (!ok) {
    *out = MemoryBlock();
    return false;
  }
  *length = used;
  return true;
}

struct AtomicFileWriter::State {
  std::string target;
  std::string temporary;
  mode_t newFileMode = 0600;
  mode_t widestMode = 0640;
  int fd = -1;
  bool failed = false;
};

AtomicFileWriter::AtomicFileWriter(const std::string& path, NewFileAccess newFileAccess)
    : state_(new State) {
  if (newFileAccess == NewFileAccess::kEveryoneReads) {
    state_->newFileMode = 0644;
    state_->widestMode = 0644;
  }
  if (path.empty()) return;
  state_->target = replacementTarget(path);
  removeStaleTemporaries(state_->target);
  state_->fd = createLockedTemporary(state_->target, &state_->temporary);
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
  const bool replacing = ok && ::stat(state_->target.c_str(), &existing) == 0;
  if (replacing) {
    // Keep the replaced file's owner and group where the process may (the superuser always
    // may, so a save by root leaves the web server's file its own), and its mode, but never
    // wider than the widest that this kind of file may have (no execute, set-id or write bits
    // for others, and for the database no reading by others). An owner who may not give the
    // file away keeps at least its group, where it is a member of it.
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
          ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
        // Not permitted: the file keeps this process's owner and group.
      }
    }
    ok = ::fchmod(fd, existing.st_mode & state_->widestMode) == 0;
  } else if (ok && state_->newFileMode != 0600) {
    ok = ::fchmod(fd, state_->newFileMode) == 0;
  }
  if (ok && replacing) laterThanReplaced(fd, existing);
  ok = ok && ::fsync(fd) == 0;
  if (!ok) {
    ::unlink(state_->temporary.c_str());
    ::close(fd);
    return false;
  }
  // Renamed while still open, so that the lock keeps cleaners of stale temporary files away
  // until the file has its final name; once fsync succeeded, a failing close loses nothing.
  bool renamed = ::rename(state_->temporary.c_str(), state_->target.c_str()) == 0;
  ::close(fd);
  // Some network file system clients refuse to rename a file that is open (smbnetfs: EBUSY),
  // having already removed the target: the rename is tried again once the file is closed.
  if (!renamed) renamed = ::rename(state_->temporary.c_str(), state_->target.c_str()) == 0;
  if (!renamed) {
    const int error = errno;
    // Where the target is gone, the temporary file holds the only copy of the data: it stays.
    struct stat target;
    if (::stat(state_->target.c_str(), &target) == 0) ::unlink(state_->temporary.c_str());
    errno = error;
    return false;
  }
  syncDirectory(directoryOf(state_->target));
  return true;
}

NewFileResult createNewDirectory(const std::string& path) {
  if (path.empty()) return NewFileResult::kFailed;
  // A network file system client may report the server's refusal as another error (smbnetfs:
  // EIO), and what was there may be gone by the time that is looked at (or the client may
  // still answer from a cache that it is not there): such a make is tried again a few times,
  // then counts as refused, so that its caller waits rather than go on without it. Only an
  // error that no other host's directory can cause counts as a failure.
  for (int attempt = 0;; ++attempt) {
    if (::mkdir(path.c_str(), 0755) == 0) break;
    const int error = errno;
    struct stat there;
    if (error == EEXIST || ::lstat(path.c_str(), &there) == 0) return NewFileResult::kExists;
    switch (error) {
      case ENOENT: case ENOTDIR: case EACCES: case EROFS: case ENAMETOOLONG: case ELOOP:
      case ENOSPC: case EDQUOT:
        errno = error;
        return NewFileResult::kFailed;
      default:
        if (attempt == 4) return NewFileResult::kExists;
        sleepMilliseconds(10);
    }
  }
  // The mode is the one given, whatever the umask; a network file system may refuse to change
  // either, which leaves the directory as its server made it.
  ::chmod(path.c_str(), 0755);
  struct stat parent;
  if (::stat(directoryOf(path).c_str(), &parent) == 0 &&
      (parent.st_uid != ::geteuid() || parent.st_gid != ::getegid())) {
    if (::lchown(path.c_str(), parent.st_uid, parent.st_gid) != 0) {
      // Not permitted: the directory stays this process's.
    }
  }
  return NewFileResult::kCreated;
}

bool removeFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

bool removeDirectory(const std::string& path) {
  return !path.empty() && ::rmdir(path.c_str()) == 0;
}

struct FileLock::State {
  int fd = -1;
};

FileLock::FileLock(const std::string& lockPath) : state_(new State) {
  if (lockPath.empty()) return;
  // Neither a symbolic link nor anything but a regular file planted in place of the lock file
  // is used: the lock is then not held, and the link's target stays untouched.
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                        kNewLockMode);
  if (fd < 0) return;
  struct stat st;
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return;
  }
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

void createLockFileOwnedLike(const std::string& lockPath, const std::string& referencePath) {
  struct stat reference;
  if (lockPath.empty() || ::stat(referencePath.c_str(), &reference) != 0) return;
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        kNewLockMode);
  if (fd < 0) return;  // there is one already, or none can be made here
  if (reference.st_uid != ::geteuid() || reference.st_gid != ::getegid()) {
    if (::fchown(fd, reference.st_uid, reference.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), reference.st_gid) != 0) {
      // Not permitted: the lock file stays this process's, as FileLock would have made it.
    }
  }
  ::close(fd);
}

void sleepMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return;
  struct timespec remaining = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

std::int64_t streamPosition(std::FILE* file) { return ftello(file); }

bool seekStream(std::FILE* file, std::int64_t position) {
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

}  // namespace gatekeeper::platform
