#include <gtest/gtest.h>

#include <string>

#include "passhash/base64.h"

namespace gatekeeper::passhash {
namespace {

// RFC 4648 section 10, padded (standard) and unpadded (adapted), both ways.
TEST(Base64Test, RoundTripsKnownAnswers) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},
      {"foo", "Zm9v"},    {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"}, {"\xfb\xef\xbe\xff\xff\xff", "++++////"},
  };
  for (const auto& [bytes, standard] : cases) {
    std::string adapted = standard.substr(0, standard.find('='));
    for (char& c : adapted) {
      if (c == '+') c = '.';
    }
    EXPECT_EQ(encodeBase64(bytes), standard);
    EXPECT_EQ(decodeBase64(standard), bytes) << standard;
    EXPECT_EQ(encodeAdaptedBase64(bytes), adapted);
    EXPECT_EQ(decodeAdaptedBase64(adapted), bytes) << adapted;
  }
}

// Texts that no encoder writes decode to nothing.
TEST(Base64Test, RefusesWhatNoEncoderWrites) {
  const char* standard[] = {"Zg=",  "Zg",   "Zh==", "Z===", "Zm9v=", "Zg==Zg==",
                            "Zm.v", "Zm9 ", "====", "Zm8A=", "Zm9vYm=="};
  for (const char* text : standard) EXPECT_FALSE(decodeBase64(text)) << text;
  const char* adapted[] = {"Z", "Zh", "Zm9", "Zm+v", "Zg==", "Zm9vY", "Zm9v$"};
  for (const char* text : adapted) EXPECT_FALSE(decodeAdaptedBase64(text)) << text;
  EXPECT_EQ(decodeAdaptedBase64("Zm8"), "fo");
}

TEST(Base64Test, CryptAlphabetLowBitsFirst) {
  std::string out;
  appendCrypt64(out, 0, 2);
  appendCrypt64(out, 63, 1);
  appendCrypt64(out, 64 + 12, 2);
  appendCrypt64(out, 0xffffff, 4);
  EXPECT_EQ(out, "..zA/zzzz");
  EXPECT_TRUE(isCrypt64("./09AZaz"));
  for (const char* text : {"", "a+b", "a$", "a=", "a-b", "a\xc3\xa9"}) {
    EXPECT_FALSE(isCrypt64(text)) << text;
  }
}

}  // namespace
}  // namespace gatekeeper::passhash
