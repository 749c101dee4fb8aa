#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

#include <iterator>

#include "platform/terminal.h"

namespace gatekeeper::platform {
namespace {

// The terminal's settings before the echo went off, for a signal that ends the program while
// a line is read: the person's terminal must not stay silent.
struct termios savedSettings;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreAndEnd(int signal) {
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

bool standardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

std::optional<std::string> readLineWithoutEcho(const char* prompt) {
  struct termios saved;
  if (!standardInputIsTerminal() || ::tcgetattr(STDIN_FILENO, &saved) != 0) return std::nullopt;
  savedSettings = saved;
  struct sigaction ending {};
  ending.sa_handler = restoreAndEnd;
  struct sigaction previous[std::size(kEndingSignals)];
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    // A signal the program ignores (nohup's SIGHUP) stays ignored.
    ::sigaction(kEndingSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &ending, nullptr);
  }
  struct termios silent = saved;
  silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  silent.c_lflag |= ECHONL;
  // The echo goes off (and what was typed before the prompt is dropped) before the prompt is
  // shown: a line typed as soon as the prompt appears is then neither echoed nor dropped.
  if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent) != 0) {
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
      ::sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
    return std::nullopt;
  }
  ::fputs(prompt, stderr);
  ::fflush(stderr);
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
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    ::sigaction(kEndingSignals[i], &previous[i], nullptr);
  }
  if (!ended) {
    ::fputc('\n', stderr);
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace gatekeeper::platform
