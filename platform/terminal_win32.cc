#include <windows.h>

#include <stdio.h>

#include "platform/terminal.h"

namespace gatekeeper::platform {
namespace {

bool consoleMode(HANDLE input, DWORD* mode) {
  return input != INVALID_HANDLE_VALUE && input != nullptr && GetConsoleMode(input, mode) != 0;
}

}  // namespace

bool standardInputIsTerminal() {
  DWORD mode = 0;
  return consoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode);
}

std::optional<std::string> readLineWithoutEcho(const char* prompt) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  if (!consoleMode(input, &saved)) return std::nullopt;
  // The echo goes off before the prompt is shown, so a line typed at once is not echoed.
  if (SetConsoleMode(input, (saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) |
                                ENABLE_LINE_INPUT) == 0) {
    return std::nullopt;
  }
  fputs(prompt, stderr);
  fflush(stderr);
  std::string line;
  bool ended = false;
  for (;;) {
    char c;
    DWORD got = 0;
    if (ReadConsoleA(input, &c, 1, &got, nullptr) == 0 || got == 0) break;
    if (c == '\n') {
      ended = true;
      break;
    }
    line.push_back(c);
  }
  SetConsoleMode(input, saved);
  fputc('\n', stderr);
  if (!ended) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace gatekeeper::platform
