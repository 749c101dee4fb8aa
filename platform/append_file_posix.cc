#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/append_file.h"
#include "platform/files_internal.h"

namespace gatekeeper::platform {
namespace {

std::uint64_t identityOf(const struct stat& st) {
  return static_cast<std::uint64_t>(st.st_ino) ^ (static_cast<std::uint64_t>(st.st_dev) << 48);
}

}  // namespace

struct AppendFile::Handle {
  int fd = -1;
};

AppendFile::AppendFile(const std::string& path) : path_(path), handle_(new Handle) {
  if (path.empty()) return;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
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
