#include "websupport/error_log.h"

#include <cstdio>

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

ErrorLogCapture::ErrorLogCapture() : previous_(captureBuffer) { captureBuffer = &text_; }

ErrorLogCapture::~ErrorLogCapture() { captureBuffer = previous_; }

}  // namespace gatekeeper
