#include "websupport/error_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "websupport/server_variables.h"

namespace gatekeeper {
namespace {

// The buffer of the innermost ErrorLogCapture, null when lines go to standard error.
std::string* captureBuffer = nullptr;

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

void appendHex(std::string* out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  *out += "\\x";
  *out += kDigits[c >> 4];
  *out += kDigits[c & 0x0F];
}

}  // namespace

std::string escapeForLog(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (isControl(c) || c == '\\' || c == '`') {
      appendHex(&out, c);
    } else {
      out += ch;
    }
  }
  return out;
}

void writeErrorLog(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  for (const char ch : line) {
    const auto c = static_cast<unsigned char>(ch);
    if (isControl(c)) {
      appendHex(&text, c);
    } else {
      text += ch;
    }
  }
  text += '\n';
  if (captureBuffer != nullptr) {
    captureBuffer->append(text);
    return;
  }
  // Standard error is unbuffered: one write per line keeps lines of concurrent runs whole.
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::string apacheClientPrefix(long long seconds, int microseconds, std::string_view address,
                               std::string_view port) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  // One thread per CGI process: the static buffer of localtime is not shared.
  const std::tm* local = std::localtime(&time);
  char date[64] = "";
  if (local != nullptr) std::strftime(date, sizeof date, "%a %b %d %H:%M:%S", local);
  char year[16] = "";
  if (local != nullptr) std::strftime(year, sizeof year, "%Y", local);
  char fraction[16];
  std::snprintf(fraction, sizeof fraction, ".%06d", microseconds);
  std::string prefix = std::string("[") + date + fraction + " " + year + "] [cgid:error] [client ";
  prefix += escapeForLog(address);
  // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about "literal" + std::string.
  if (!port.empty()) {
    prefix += ':';
    prefix += escapeForLog(port);
  }
  prefix += "] ";
  return prefix;
}

void writeClientErrorLog(std::string_view line) {
  // A regular file (or /dev/null) can tell its position; a pipe or a terminal cannot.
  if (captureBuffer != nullptr || std::ftell(stderr) < 0) {
    writeErrorLog(line);
    return;
  }
  const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  writeErrorLog(apacheClientPrefix(now.count() / 1000000, static_cast<int>(now.count() % 1000000),
                                   serverText("REMOTE_ADDR"), serverText("REMOTE_PORT")) +
                std::string(line));
}

ErrorLogCapture::ErrorLogCapture() : previous_(captureBuffer) { captureBuffer = &text_; }

ErrorLogCapture::~ErrorLogCapture() { captureBuffer = previous_; }

}  // namespace gatekeeper
