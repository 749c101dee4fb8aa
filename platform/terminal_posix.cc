#include <errno.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace gatekeeper::platform {

bool standardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

std::optional<std::string> readLineWithoutEcho(const char* prompt) {
  struct termios saved;
  if (!standardInputIsTerminal() || ::tcgetattr(STDIN_FILENO, &saved) != 0) return std::nullopt;
  struct termios silent = saved;
  silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  silent.c_lflag |= ECHONL;
  ::fputs(prompt, stderr);
  ::fflush(stderr);
  if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent) != 0) return std::nullopt;
  // Read byte by byte, so that nothing after the line is taken from standard input.
  std::string line;
  bool ended = false;
  for (;;) {
    char c;
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (c == '\n') {
      ended = true;
      break;
    }
    line.push_back(c);
  }
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  if (!ended) {
    ::fputc('\n', stderr);
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace gatekeeper::platform
