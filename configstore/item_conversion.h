// Number formatting and scanning of the store, identical on every platform: no C runtime locale
// and no printf/scanf differences between C libraries are involved.
#ifndef GATEKEEPER_CONFIGSTORE_ITEM_CONVERSION_H_
#define GATEKEEPER_CONFIGSTORE_ITEM_CONVERSION_H_

#include <cstddef>
#include <cstdint>

namespace gatekeeper {

// Room for any text the formatters produce, terminating zero included.
constexpr size_t kNumberTextSize = 64;

// Each formatter writes a zero-terminated text into out (kNumberTextSize bytes) and returns its
// length.
// Signed decimal, like "%d" and "%I64d".
size_t formatInt64(int64_t value, char* out);
// Upper-case hexadecimal without leading zeros, like "%X".
size_t formatHex(uint32_t value, char* out);
// Six decimals, like "%f" of the float promoted to double.
size_t formatFixed(float value, char* out);
// Six significant digits, like "%g" ("%G" with upperCase: upper-case exponent).
size_t formatGeneral(double value, bool upperCase, char* out);
// Non-finite values are written "inf", "-inf" and "nan" by all three (upper case for "%G").

// Each scanner skips leading white space like scanf, reads as much as forms a number and
// ignores what follows; false when nothing scans (the out value is then left unchanged).
// Signed decimal ("%d", "%I64d"). Out-of-range values wrap (the low bits are kept).
bool scanDecimal(const char* text, int64_t* value);
// Signed integer with a base prefix ("%i", "%I64i"): "0x" hexadecimal, a leading "0" octal,
// else decimal. Out-of-range values wrap.
bool scanInteger(const char* text, int64_t* value);
// Hexadecimal with optional "0x" prefix ("%X").
bool scanHex(const char* text, uint32_t* value);
// Floating point ("%f", "%lG"): decimal with optional exponent, "inf", "infinity" or "nan".
bool scanFloating(const char* text, double* value);

// Conversion of a floating-point value to an integer item: truncated toward zero to 64 bits
// (non-finite or out-of-range values give INT64_MIN, as the x86 conversion does).
int64_t truncateToInt64(double value);

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_ITEM_CONVERSION_H_
