#include "websupport/url_encoding.h"

#include <gtest/gtest.h>

#include <random>

namespace gatekeeper {
namespace {

TEST(UrlDecodeTest, PlusAndEscapes) {
  EXPECT_EQ(urlDecode("J%F6rg+M%FCller"), "J\xF6rg M\xFCller");
  EXPECT_EQ(urlDecode("a%2bb+c"), "a+b c");
  EXPECT_EQ(urlDecode("%3d%3D"), "==");
  EXPECT_EQ(urlDecode("plain"), "plain");
}

// The escape always consumes two characters; only its leading hexadecimal digits count.
TEST(UrlDecodeTest, MalformedEscapesConsumeTwoCharacters) {
  EXPECT_EQ(urlDecode("%4gX"), "\x04X");
  EXPECT_EQ(urlDecode("a%zzb"), "a");  // no digit: byte 0, which ends the text
  EXPECT_EQ(urlDecode("%41%4"), "A\x04");
}

// An escape at the very end must not read past the input.
TEST(UrlDecodeTest, EscapeCutByTheEndOfInput) {
  EXPECT_EQ(urlDecode("ab%"), "ab");
  EXPECT_EQ(urlDecode(std::string_view("x%4", 2)), "x");
  EXPECT_EQ(urlDecode("%"), "");
}

TEST(UrlDecodeTest, ByteZeroEndsTheText) {
  EXPECT_EQ(urlDecode("abc%00def"), "abc");
  EXPECT_EQ(urlDecode(std::string_view("ab\0cd", 5)), "ab");
}

TEST(UrlEncodeTest, RoundTripsEveryByteButZero) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text.push_back(static_cast<char>(1 + random() % 255));
    const std::string encoded = urlEncode(text);
    EXPECT_EQ(encoded.find_first_of(" &=+\"<>#?;"), std::string::npos) << encoded;
    EXPECT_EQ(urlDecode(encoded), text);
  }
  EXPECT_EQ(urlEncode("a b&c=d\"<"), "a%20b%26c%3Dd%22%3C");
}

}  // namespace
}  // namespace gatekeeper
