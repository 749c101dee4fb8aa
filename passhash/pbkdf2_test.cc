#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "passhash/pbkdf2.h"
#include "passhash/pbkdf2_sha256_form.h"
#include "passhash/test_hex.h"
#include "platform/system_crypt.h"

namespace gatekeeper::passhash {
namespace {

struct Pbkdf2Case {
  std::string password;
  std::string salt;
  std::uint32_t rounds;
  std::size_t size;
  const char* expected;
};

// RFC 7914 section 11 (the first vector), the well-known 4096-round SHA-256 counterpart of
// RFC 6070's vectors, and cases for empty, long and NUL-holding inputs and keys longer than
// one block of output.
const Pbkdf2Case kCases[] = {
    {"passwd", "salt", 1, 64,
     "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
     "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
    {"password", "salt", 4096, 32,
     "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
    {"password", "salt", 2, 32, "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
    {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 40,
     "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"},
    {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16,
     "89b69d0516f829893c696226650a8687"},
    {"", "salt", 3, 32, "5ddf839afa2d5fb4be56e1a0f48917617559bef61ec122bfca1c7f75ac8f401d"},
    {std::string(100, 'k'), "salt", 3, 32,
     "219c68bb88f1010f4a763b7c8fd58639c2280baf6820814c6d404891fcd85c3d"},
};

TEST(Pbkdf2Test, PortableCodeKnownAnswers) {
  for (const Pbkdf2Case& c : kCases) {
    std::vector<std::uint8_t> out(c.size);
    pbkdf2HmacSha256(c.password, c.salt, c.rounds, out.data(), out.size());
    EXPECT_EQ(hexOf(out), c.expected) << c.password << " " << c.rounds;
  }
}

// The system's PBKDF2, where there is one, gives the same bytes for the same vectors; on
// Windows there must be one.
TEST(Pbkdf2Test, SystemCodeKnownAnswers) {
  for (const Pbkdf2Case& c : kCases) {
    std::vector<std::uint8_t> out(c.size);
    const bool computed =
        platform::systemPbkdf2HmacSha256(c.password, c.salt, c.rounds, out.data(), out.size());
#ifdef _WIN32
    ASSERT_TRUE(computed) << c.password;
#endif
    if (computed) {
      EXPECT_EQ(hexOf(out), c.expected) << c.password << " " << c.rounds;
    }
    const Sha256Digest derived = derivePbkdf2Sha256(c.password, c.salt, c.rounds);
    // A shorter output is a prefix of a longer one.
    const std::size_t common = 2 * std::min<std::size_t>(c.size, derived.size());
    EXPECT_EQ(hexOf(derived).substr(0, common), std::string(c.expected).substr(0, common));
  }
}

// passlib's form: values made by Python's hashlib and written as passlib writes them.
TEST(Pbkdf2Test, ParsesAndFormatsPasslibForm) {
  const std::string stored =
      "$pbkdf2-sha256$1000$AAECAwQFBgcICQoLDA0ODw$QciSJ3gUl7y1oWx9XukLiZvz1aZbuhWKBaJEnkw0do4";
  const std::optional<Pbkdf2Sha256Form> form = parsePbkdf2Sha256(stored);
  ASSERT_TRUE(form);
  EXPECT_EQ(form->rounds, 1000u);
  EXPECT_EQ(hexOf(form->salt), "000102030405060708090a0b0c0d0e0f");
  EXPECT_EQ(form->hash, derivePbkdf2Sha256("pass", form->salt, 1000));
  EXPECT_EQ(formatPbkdf2Sha256(*form), stored);

  const std::optional<Pbkdf2Sha256Form> largest =
      parsePbkdf2Sha256("$pbkdf2-sha256$4294967295$AA$QciSJ3gUl7y1oWx9XukLiZvz1aZbuhWKBaJEnkw0do4");
  ASSERT_TRUE(largest);
  EXPECT_EQ(largest->rounds, 4294967295u);
  EXPECT_FALSE(
      parsePbkdf2Sha256("$pbkdf2-sha256$4294967296$AA$QciSJ3gUl7y1oWx9XukLiZvz1aZbuhWKBaJEnkw0do4"));
}

TEST(Pbkdf2Test, NewFormHasFreshSaltAndVerifies) {
  const std::optional<std::string> first = newPbkdf2Sha256("secret", 7);
  const std::optional<std::string> second = newPbkdf2Sha256("secret", 7);
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  const std::optional<Pbkdf2Sha256Form> form = parsePbkdf2Sha256(*first);
  ASSERT_TRUE(form);
  EXPECT_EQ(form->rounds, 7u);
  EXPECT_EQ(form->salt.size(), 16u);
  EXPECT_EQ(first->size(), 15 + 1 + 1 + 22 + 1 + 43);
  EXPECT_EQ(form->hash, derivePbkdf2Sha256("secret", form->salt, 7));
}

}  // namespace
}  // namespace gatekeeper::passhash
