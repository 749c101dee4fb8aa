#include "passhash/base64.h"

#include <algorithm>

namespace gatekeeper::passhash {
namespace {

constexpr std::string_view kStandard =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kAdapted =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789./";
constexpr std::string_view kCrypt =
    "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string encode(std::string_view bytes, std::string_view alphabet, bool pad) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16 |
                                std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8 |
                                static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out.push_back(alphabet[(group >> shift) & 63]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t group = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
    if (rest == 2) group |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
    out.push_back(alphabet[(group >> 18) & 63]);
    out.push_back(alphabet[(group >> 12) & 63]);
    if (rest == 2) out.push_back(alphabet[(group >> 6) & 63]);
    if (pad) out.append(3 - rest, '=');
  }
  return out;
}

// Decodes unpadded text; nothing for a length of 1 mod 4, a foreign character or set bits
// beyond the last whole byte.
std::optional<std::string> decodeUnpadded(std::string_view text, std::string_view alphabet) {
  if (text.size() % 4 == 1) return std::nullopt;
  std::string out;
  out.reserve(text.size() * 3 / 4);
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    const std::size_t value = alphabet.find(c);
    if (value == std::string_view::npos) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xff));
    }
  }
  if ((bits & ((1u << count) - 1)) != 0) return std::nullopt;
  return out;
}

}  // namespace

std::string encodeBase64(std::string_view bytes) { return encode(bytes, kStandard, true); }

std::optional<std::string> decodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  return decodeUnpadded(text.substr(0, text.size() - padding), kStandard);
}

std::string encodeAdaptedBase64(std::string_view bytes) { return encode(bytes, kAdapted, false); }

std::optional<std::string> decodeAdaptedBase64(std::string_view text) {
  return decodeUnpadded(text, kAdapted);
}

void appendCrypt64(std::string& out, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i, value >>= 6) out.push_back(kCrypt[value & 63]);
}

bool isCrypt64Char(char c) {
  return (c >= '.' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isCrypt64(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), isCrypt64Char);
}

}  // namespace gatekeeper::passhash
