#include "configstore/item_conversion.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace gatekeeper {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

const char* skipBlanks(const char* p) {
  while (isBlank(*p)) ++p;
  return p;
}

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Reads digits of a base with wrap-around; returns the end, p itself when there is no digit.
const char* readDigits(const char* p, int base, uint64_t* out) {
  uint64_t value = 0;
  const char* start = p;
  while (digitValue(*p) < base) {
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digitValue(*p));
    ++p;
  }
  if (p != start) *out = value;
  return p;
}

// An optional sign.
const char* readSign(const char* p, bool* negative) {
  *negative = *p == '-';
  return *p == '+' || *p == '-' ? p + 1 : p;
}

size_t nonFinite(double value, bool upperCase, char* out) {
  const char* text = std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
  size_t length = std::strlen(text);
  for (size_t i = 0; i <= length; ++i) {
    char c = text[i];
    out[i] = upperCase && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return length;
}

size_t finish(char* out, std::to_chars_result result) {
  *result.ptr = '\0';
  return static_cast<size_t>(result.ptr - out);
}

}  // namespace

size_t formatInt64(int64_t value, char* out) {
  return finish(out, std::to_chars(out, out + kNumberTextSize - 1, value));
}

size_t formatHex(uint32_t value, char* out) {
  size_t length = finish(out, std::to_chars(out, out + kNumberTextSize - 1, value, 16));
  for (size_t i = 0; i < length; ++i) {
    if (out[i] >= 'a' && out[i] <= 'f') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  }
  return length;
}

size_t formatFixed(float value, char* out) {
  const double wide = value;
  if (!std::isfinite(wide)) return nonFinite(wide, false, out);
  // The largest float has 39 integer digits: the text always fits.
  return finish(out, std::to_chars(out, out + kNumberTextSize - 1, wide,
                                   std::chars_format::fixed, 6));
}

size_t formatGeneral(double value, bool upperCase, char* out) {
  if (!std::isfinite(value)) return nonFinite(value, upperCase, out);
  size_t length = finish(out, std::to_chars(out, out + kNumberTextSize - 1, value,
                                            std::chars_format::general, 6));
  if (upperCase) {
    for (size_t i = 0; i < length; ++i) {
      if (out[i] == 'e') out[i] = 'E';
    }
  }
  return length;
}

bool scanDecimal(const char* text, int64_t* value) {
  bool negative = false;
  const char* p = readSign(skipBlanks(text), &negative);
  uint64_t magnitude = 0;
  if (readDigits(p, 10, &magnitude) == p) return false;
  *value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

bool scanInteger(const char* text, int64_t* value) {
  bool negative = false;
  const char* p = readSign(skipBlanks(text), &negative);
  uint64_t magnitude = 0;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digitValue(p[2]) < 16) {
    readDigits(p + 2, 16, &magnitude);
  } else if (p[0] == '0') {
    readDigits(p, 8, &magnitude);
  } else if (readDigits(p, 10, &magnitude) == p) {
    return false;
  }
  *value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

bool scanHex(const char* text, uint32_t* value) {
  bool negative = false;
  const char* p = readSign(skipBlanks(text), &negative);
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digitValue(p[2]) < 16) p += 2;
  uint64_t magnitude = 0;
  if (readDigits(p, 16, &magnitude) == p) return false;
  *value = static_cast<uint32_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

bool scanFloating(const char* text, double* value) {
  bool negative = false;
  const char* p = readSign(skipBlanks(text), &negative);
  // from_chars takes no sign of its own here and never consults the locale.
  if (*p == '+' || *p == '-') return false;
  double parsed = 0.0;
  const char* end = p + std::strlen(p);
  auto result = std::from_chars(p, end, parsed, std::chars_format::general);
  if (result.ptr == p) return false;
  if (result.ec == std::errc::result_out_of_range) {
    // Too large gives infinity, too small zero, as strtod does.
    size_t exponentAt = std::strcspn(p, "eE");
    bool tiny = exponentAt < static_cast<size_t>(result.ptr - p) && p[exponentAt + 1] == '-';
    parsed = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  *value = negative ? -parsed : parsed;
  return true;
}

int64_t truncateToInt64(double value) {
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value >= -kLimit && value < kLimit)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

}  // namespace gatekeeper
