#include "configstore/item_conversion.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace gatekeeper {
namespace {

std::string fixed(float v) {
  char out[kNumberTextSize];
  return std::string(out, formatFixed(v, out));
}
std::string general(double v, bool upper) {
  char out[kNumberTextSize];
  return std::string(out, formatGeneral(v, upper, out));
}
std::string whole(int64_t v) {
  char out[kNumberTextSize];
  return std::string(out, formatInt64(v, out));
}
std::string hex(uint32_t v) {
  char out[kNumberTextSize];
  return std::string(out, formatHex(v, out));
}

// The exact texts of the file format, the same on every platform.
TEST(ItemConversionTest, FormatsLikeTheClassicConversions) {
  EXPECT_EQ(fixed(0.5f), "0.500000");
  EXPECT_EQ(fixed(-3.25f), "-3.250000");
  EXPECT_EQ(fixed(1e-7f), "0.000000");
  EXPECT_EQ(fixed(16777216.0f), "16777216.000000");
  EXPECT_EQ(fixed(std::numeric_limits<float>::max()),
            "340282346638528859811704183484516925440.000000");
  EXPECT_EQ(general(0.5, false), "0.5");
  EXPECT_EQ(general(100000.0, true), "100000");
  EXPECT_EQ(general(1000000.0, true), "1E+06");
  EXPECT_EQ(general(123456789.0, true), "1.23457E+08");
  EXPECT_EQ(general(1e-5, true), "1E-05");
  EXPECT_EQ(general(0.0001, false), "0.0001");
  EXPECT_EQ(general(1e300, false), "1e+300");
  EXPECT_EQ(general(-2.5, true), "-2.5");
  EXPECT_EQ(general(std::numeric_limits<double>::infinity(), true), "INF");
  EXPECT_EQ(general(-std::numeric_limits<double>::infinity(), false), "-inf");
  EXPECT_EQ(general(std::nan(""), false), "nan");
  EXPECT_EQ(whole(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(whole(42), "42");
  EXPECT_EQ(hex(0), "0");
  EXPECT_EQ(hex(255), "FF");
  EXPECT_EQ(hex(0xDEADBEEF), "DEADBEEF");
}

TEST(ItemConversionTest, ScansIntegersWithBasePrefixes) {
  int64_t v = -1;
  EXPECT_TRUE(scanInteger("0x1F", &v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(scanInteger("010", &v));
  EXPECT_EQ(v, 8);
  EXPECT_TRUE(scanInteger("  -12abc", &v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(scanInteger("+7", &v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(scanInteger("0xg", &v));  // the "0" scans
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(scanInteger("-9223372036854775808", &v));
  EXPECT_EQ(v, std::numeric_limits<int64_t>::min());
  v = 5;
  EXPECT_FALSE(scanInteger("abc", &v));
  EXPECT_FALSE(scanInteger("-", &v));
  EXPECT_FALSE(scanInteger("", &v));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(scanDecimal("010", &v));
  EXPECT_EQ(v, 10);
  EXPECT_TRUE(scanDecimal("12abc", &v));
  EXPECT_EQ(v, 12);
  EXPECT_FALSE(scanDecimal("x12", &v));
  uint32_t h = 0;
  EXPECT_TRUE(scanHex("    ff\r\n", &h));
  EXPECT_EQ(h, 0xFFu);
  EXPECT_TRUE(scanHex("0x1A", &h));
  EXPECT_EQ(h, 0x1Au);
  EXPECT_FALSE(scanHex("zz", &h));
}

TEST(ItemConversionTest, ScansFloatingPointWithoutLocale) {
  double d = -1;
  EXPECT_TRUE(scanFloating("1.5e3", &d));
  EXPECT_EQ(d, 1500.0);
  EXPECT_TRUE(scanFloating("  -0.25xyz", &d));
  EXPECT_EQ(d, -0.25);
  EXPECT_TRUE(scanFloating("1.23457E+08", &d));
  EXPECT_EQ(d, 123457000.0);
  EXPECT_TRUE(scanFloating(".5", &d));
  EXPECT_EQ(d, 0.5);
  EXPECT_TRUE(scanFloating("1e400", &d));
  EXPECT_TRUE(std::isinf(d));
  EXPECT_TRUE(scanFloating("1e-400", &d));
  EXPECT_EQ(d, 0.0);
  EXPECT_TRUE(scanFloating("INF", &d));
  EXPECT_TRUE(std::isinf(d));
  EXPECT_TRUE(scanFloating("nan", &d));
  EXPECT_TRUE(std::isnan(d));
  d = 3;
  EXPECT_FALSE(scanFloating("abc", &d));
  EXPECT_FALSE(scanFloating("+-1", &d));
  EXPECT_EQ(d, 3);
}

TEST(ItemConversionTest, TruncatesTowardZeroLikeTheProcessor) {
  EXPECT_EQ(truncateToInt64(2.9), 2);
  EXPECT_EQ(truncateToInt64(-2.9), -2);
  EXPECT_EQ(truncateToInt64(-9223372036854775808.0), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(truncateToInt64(1e19), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(truncateToInt64(std::nan("")), std::numeric_limits<int64_t>::min());
}

}  // namespace
}  // namespace gatekeeper
