#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/system_crypt.h"

namespace gatekeeper::platform {
namespace {

using namespace std::string_literals;

const std::string kYescrypt =
    "$y$j9T$GsGLZzKXbuOzOP5tHQTUI1$udd.hkziTqKxfCms7ru0mgIwRw6lX3ekfYicqTMFRv.";  // of "pass"

#ifdef _WIN32

TEST(SystemCryptTest, WindowsHasNoCryptLibrary) {
  EXPECT_FALSE(systemCryptKnows("$y$"));
  EXPECT_FALSE(systemCrypt("pass", kYescrypt));
  const std::array<unsigned char, 16> random{};
  EXPECT_FALSE(systemCryptSetting("$y$", random.data(), random.size()));
}

#else

TEST(SystemCryptTest, KnowsTheModernMethodsOnly) {
  for (const char* method : {"$y$", "$2b$", "$2a$", "$2y$", "$6$", "$5$", kYescrypt.c_str()}) {
    EXPECT_TRUE(systemCryptKnows(method)) << method;
  }
  for (const std::string& method : {"$apr1$"s, "$pbkdf2-sha256$"s, "{SHA}"s, "$y$\0"s}) {
    EXPECT_FALSE(systemCryptKnows(method)) << method;
  }
}

TEST(SystemCryptTest, HashesWholePasswordsOnly) {
  EXPECT_EQ(systemCrypt("pass", kYescrypt), kYescrypt);
  EXPECT_NE(systemCrypt("pas", kYescrypt), kYescrypt);
  // Cut at the NUL, this password would give the stored hash: it is refused instead.
  EXPECT_FALSE(systemCrypt("pass\0word"s, kYescrypt));
  EXPECT_FALSE(systemCrypt(std::string(512, 'p'), kYescrypt));
  EXPECT_TRUE(systemCrypt(std::string(511, 'p'), kYescrypt));
  // A setting the library refuses (rounds below SHA-crypt's least) gives nothing, not "*0".
  EXPECT_FALSE(systemCrypt("pass", "$6$rounds=10$salt$"));
  EXPECT_FALSE(systemCrypt("pass", "$apr1$salt$"));
}

TEST(SystemCryptTest, NewSettingsComeFromTheRandomBytes) {
  std::array<unsigned char, 16> random{};
  const std::optional<std::string> zeros = systemCryptSetting("$y$", random.data(), random.size());
  random[15] = 1;
  const std::optional<std::string> one = systemCryptSetting("$y$", random.data(), random.size());
  ASSERT_TRUE(zeros && one);
  EXPECT_TRUE(zeros->starts_with("$y$j9T$")) << *zeros;
  EXPECT_NE(*zeros, *one);
  EXPECT_EQ(systemCryptSetting("$y$", random.data(), random.size()), one);
  EXPECT_FALSE(systemCryptSetting("$q$", random.data(), random.size()));
  const std::optional<std::string> hash = systemCrypt("pass", *one);
  ASSERT_TRUE(hash);
  EXPECT_TRUE(hash->starts_with(*one + "$")) << *hash;
}

#endif

}  // namespace
}  // namespace gatekeeper::platform
