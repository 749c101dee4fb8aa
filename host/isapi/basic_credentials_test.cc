#include "basic_credentials.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

struct Decoded {
  CredentialsResult result;
  std::string user;
  std::string password;
};

Decoded decode(const char* header) {
  char user[257];
  char password[257];
  CredentialsResult result =
      decodeBasicCredentials(header, user, sizeof(user), password, sizeof(password));
  return {result, user, password};
}

// "Basic " and the base64 of raw, written out here independently of the code under test.
std::string basicHeader(const std::string& raw) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string header = "Basic ";
  for (size_t i = 0; i < raw.size(); i += 3) {
    unsigned long group = 0;
    size_t count = std::min<size_t>(3, raw.size() - i);
    for (size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < count ? static_cast<unsigned char>(raw[i + k]) : 0);
    }
    header += kAlphabet[(group >> 18) & 63];
    header += kAlphabet[(group >> 12) & 63];
    header += count > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    header += count > 2 ? kAlphabet[group & 63] : '=';
  }
  return header;
}

std::string encode(const std::string& user, const std::string& password) {
  char out[2048];
  size_t length = encodeBasicCredentials(user.c_str(), password.c_str(), out, sizeof(out));
  return length == 0 ? std::string() : std::string(out, length);
}

TEST(BasicCredentials, DecodesUserAndPasswordSplitAtTheFirstColon) {
  Decoded d = decode("Basic am9objpzZWNyZXQ=");
  EXPECT_EQ(kCredentialsDecoded, d.result);
  EXPECT_EQ("john", d.user);
  EXPECT_EQ("secret", d.password);

  d = decode("Basic YTpiOmM=");  // a:b:c
  EXPECT_EQ("a", d.user);
  EXPECT_EQ("b:c", d.password);

  d = decode("Basic am9objo=");  // john:
  EXPECT_EQ(kCredentialsDecoded, d.result);
  EXPECT_EQ("john", d.user);
  EXPECT_EQ("", d.password);

  d = decode("Basic OnB3");  // :pw
  EXPECT_EQ(kCredentialsDecoded, d.result);
  EXPECT_EQ("", d.user);
  EXPECT_EQ("pw", d.password);
}

TEST(BasicCredentials, AcceptsTheSchemeInAnyCaseWithBlanksAndWithoutPadding) {
  EXPECT_EQ("john", decode("basic am9objpzZWNyZXQ=").user);
  EXPECT_EQ("john", decode("  BASIC \t am9objpzZWNyZXQ=  ").user);
  EXPECT_EQ("secret", decode("Basic am9objpzZWNyZXQ").password);
}

TEST(BasicCredentials, OtherSchemesAndNoHeaderAreAnonymous) {
  for (const char* header : {static_cast<const char*>(nullptr), "", "   ", "Digest username=\"x\"",
                             "Bearer am9objpzZWNyZXQ=", "Basically am9objpzZWNyZXQ="}) {
    Decoded d = decode(header);
    EXPECT_EQ(kCredentialsNone, d.result) << (header ? header : "(null)");
    EXPECT_EQ("", d.user);
    EXPECT_EQ("", d.password);
  }
}

TEST(BasicCredentials, RefusesWhatIsNotBase64OfUserColonPassword) {
  for (const char* header : {"Basic", "Basic ", "Basic am9o*mpzZWNyZXQ=", "Basic a", "Basic a===",
                             "Basic am9objpzZWNyZXQ=extra=", "Basic am9objpzZWNyZXQ= extra",
                             "Basic am9obg==",         // "john": no colon
                             "Basic am8AaG46cHc=",     // a zero byte inside
                             "Basic am9o=bjpzZWNyZXQ"  // padding in the middle
                             }) {
    Decoded d = decode(header);
    EXPECT_EQ(kCredentialsMalformed, d.result) << header;
    EXPECT_EQ("", d.user) << header;
    EXPECT_EQ("", d.password) << header;
  }
}

TEST(BasicCredentials, RefusesNamesAndPasswordsLongerThanTheBuffersWithoutWritingPastThem) {
  const std::string longest(256, 'u');
  Decoded d = decode(basicHeader(longest + ":" + std::string(256, 'p')).c_str());
  EXPECT_EQ(kCredentialsDecoded, d.result);
  EXPECT_EQ(longest, d.user);
  EXPECT_EQ(std::string(256, 'p'), d.password);

  // Buffers of 257 bytes inside larger arrays: the bytes after them must stay untouched.
  for (const auto& [user, password] : {std::pair{std::string(257, 'u'), std::string("pw")},
                                       std::pair{std::string("john"), std::string(257, 'p')},
                                       std::pair{std::string(5000, 'u'), std::string(5000, 'p')}}) {
    char userBuffer[300];
    char passwordBuffer[300];
    memset(userBuffer, '#', sizeof(userBuffer));
    memset(passwordBuffer, '#', sizeof(passwordBuffer));
    std::string header = basicHeader(user + ":" + password);
    EXPECT_EQ(kCredentialsTooLong,
              decodeBasicCredentials(header.c_str(), userBuffer, 257, passwordBuffer, 257))
        << user.size() << "/" << password.size();
    EXPECT_EQ('\0', userBuffer[0]);
    EXPECT_EQ('\0', passwordBuffer[0]);
    for (size_t i = 257; i < sizeof(userBuffer); ++i) {
      ASSERT_EQ('#', userBuffer[i]);
      ASSERT_EQ('#', passwordBuffer[i]);
    }
  }
}

TEST(BasicCredentials, EncodesWhatDecodesBackForEveryPaddingAndByteValue) {
  EXPECT_EQ("Basic am9objpzZWNyZXQ=", encode("john", "secret"));
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
  bytes.erase(bytes.find(':'), 1);
  for (size_t length = 0; length < 6; ++length) {
    std::string user = bytes.substr(200, length);
    std::string password = bytes.substr(0, 250 - length);
    std::string header = encode(user, password);
    EXPECT_EQ(basicHeader(user + ":" + password), header);
    Decoded d = decode(header.c_str());
    EXPECT_EQ(kCredentialsDecoded, d.result) << length;
    EXPECT_EQ(user, d.user);
    EXPECT_EQ(password, d.password);
  }
}

TEST(BasicCredentials, EncodingRefusesAColonInTheNameAndATooSmallBuffer) {
  EXPECT_EQ("", encode("we:b", "pw"));
  EXPECT_NE("", encode("web", "p:w"));

  size_t needed = encodedBasicCredentialsSize(4, 6);
  EXPECT_EQ(strlen("Basic am9objpzZWNyZXQ=") + 1, needed);
  char out[64];
  memset(out, '#', sizeof(out));
  EXPECT_EQ(0u, encodeBasicCredentials("john", "secret", out, needed - 1));
  EXPECT_EQ('#', out[0]);
  EXPECT_EQ(needed - 1, encodeBasicCredentials("john", "secret", out, needed));
  EXPECT_EQ('\0', out[needed - 1]);
  EXPECT_EQ('#', out[needed]);
}

TEST(BasicCredentials, NamesTheSchemeOfAnyHeader) {
  size_t length = 0;
  const char* scheme = credentialsScheme("  Digest username=\"x\"", &length);
  EXPECT_EQ("Digest", std::string(scheme, length));
  credentialsScheme(nullptr, &length);
  EXPECT_EQ(0u, length);
  credentialsScheme(" ", &length);
  EXPECT_EQ(0u, length);
}

TEST(BasicCredentials, EraseSecretZeroesExactlyTheGivenBytes) {
  char buffer[8];
  std::memcpy(buffer, "secret!", 8);
  eraseSecret(buffer + 1, 5);
  EXPECT_EQ(std::string("s\0\0\0\0\0!", 7), std::string(buffer, 7));
  eraseSecret(buffer, 0);
  EXPECT_EQ('s', buffer[0]);
}

}  // namespace
