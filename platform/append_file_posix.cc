#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/append_file.h"
#include "platform/files_internal.h"

namespace gatekeeper::platform {
namespace {

constexpr mode_t kNewLogMode = 0640;

std::uint64_t identityOf(const struct stat& st) {
  return static_cast<std::uint64_t>(st.st_ino) ^ (static_cast<std::uint64_t>(st.st_dev) << 48);
}

}  // namespace

struct AppendFile::Handle {
  int fd = -1;
};

AppendFile::AppendFile(const std::string& path) : path_(path), handle_(new Handle) {
  if (path.empty()) return;
  // A symbolic link planted in place of the log is not followed (the open fails), a new log is
  // readable by the owner's group at most, and a FIFO without a reader fails the open instead
  // of holding the request's thread.
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                        kNewLogMode);
  if (fd < 0) return;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return;
  }
  struct stat st;
  if (::fstat(fd, &st) == 0) identity_ = identityOf(st);
  handle_->fd = fd;
}

AppendFile::~AppendFile() {
  if (handle_->fd >= 0) ::close(handle_->fd);
}

bool AppendFile::isOpen() const { return handle_->fd >= 0; }

bool AppendFile::append(std::string_view bytes) {
  if (handle_->fd < 0) return false;
  ssize_t n;
  do {
    n = ::write(handle_->fd, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(bytes.size());
}

bool AppendFile::isStillAtItsPath() const {
  struct stat st;
  return handle_->fd >= 0 && ::stat(path_.c_str(), &st) == 0 && identityOf(st) == identity_;
}

}  // namespace gatekeeper::platform
