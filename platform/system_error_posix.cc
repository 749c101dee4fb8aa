#include "platform/system_error.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

namespace gatekeeper::platform {

int lastSystemError() { return errno; }

std::string systemErrorText(int code) {
  char buffer[256];
  // The GNU strerror_r returns its text, which need not be in buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  if (text == nullptr || *text == '\0') return "error " + std::to_string(code);
  return text;
}

std::string readProblem(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return systemErrorText(errno);
  char byte;
  const ssize_t got = read(fd, &byte, 1);
  const int error = errno;
  close(fd);
  return got < 0 ? systemErrorText(error) : std::string();
}

}  // namespace gatekeeper::platform
