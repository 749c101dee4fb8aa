#include "websupport/url_encoding.h"

#include <cstddef>

namespace gatekeeper {
namespace {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool staysUnencoded(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_' || c == '.' || c == '~';
}

}  // namespace

std::string urlDecode(std::string_view raw) {
  std::string decoded;
  decoded.reserve(raw.size());
  std::size_t i = 0;
  while (i < raw.size()) {
    char byte = raw[i++];
    if (byte == '+') {
      byte = ' ';
    } else if (byte == '%') {
      // The escape consumes up to two characters whatever they are; the hexadecimal digits
      // among the leading ones make the byte.
      const std::size_t end = raw.size() - i < 2 ? raw.size() : i + 2;
      int value = 0;
      for (std::size_t j = i; j < end; ++j) {
        const int digit = hexDigitValue(raw[j]);
        if (digit < 0) break;
        value = value * 16 + digit;
      }
      i = end;
      byte = static_cast<char>(value);
    }
    if (byte == '\0') break;
    decoded.push_back(byte);
  }
  return decoded;
}

std::string urlEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (staysUnencoded(byte)) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 0x0F]);
    }
  }
  return encoded;
}

}  // namespace gatekeeper
