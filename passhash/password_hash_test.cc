#include <gtest/gtest.h>

#include <string>

#include "passhash/password_hash.h"

namespace gatekeeper::passhash {
namespace {

using namespace std::string_literals;

struct VerifyCase {
  std::string stored;
  std::string right;
};

// Hashes written by mkpasswd (libxcrypt), htpasswd -nbB/-nbm/-nbs and Python's hashlib in
// passlib's form, with the password each was made from.
const VerifyCase kCases[] = {
    {"$y$j9T$GsGLZzKXbuOzOP5tHQTUI1$udd.hkziTqKxfCms7ru0mgIwRw6lX3ekfYicqTMFRv.", "pass"},
    {"$y$j7T$11vDnmmVzQYQm.ZeuPT9n.$8Q3EadQZD2H/P94MxLLH0LHOfMNSEUGJCKJy57bnGj4", "correct horse"},
    {"$2b$05$r5seCUZ0VC2jVdr5m7n9ieg6ORd1E.OwIl6sedFFhB.9HVfvnda.K", "pass"},
    {"$2a$05$uvX5hxFVsgrDGiRBdNtTA.vs272Y5Y1ETGgK9ZZRDZDvONgAaNOQi", "pass"},
    {"$2y$05$GNpGOMzivs.JLtfSSJySqeqK.vo0ko2KFCUVeBe5QTCNZw0lX2ItC", "pass"},
    {"$2y$04$.8oe4bbn.sEFIVc38Klt9eVqdOfq23Kqec3i.juZdWEwKjoeD2dkC", "correct horse"},
    {"$6$p/CCyDdiFsYvstnB$QW84saHyr8VArDiiD9vBeodfgzfjpBp1dYolZYlKE5AdjrATuAd9Uk1lGmo/lN05iXS8c"
     "WrxNj7La1I7KlO7y/",
     "pass"},
    {"$6$rounds=5000$abcdefghijklmnop$q2YZbPhm1LySTIzZVDisu/y2CX1McrFsw529ViOLMxoKT.sfgjBo4aFu.hw"
     "tGjEDxRb6mn/TZMj7V4/1AUTLi1",
     "correct horse"},
    {"$5$iB4GJx7LgUwflNvu$ugUyP3cZqw477E8wZf4AmxXa54/u.7Hv1nEUptg0mN2", "pass"},
    {"$5$rounds=1000$saltsalt$R6e4P8ccT9iMqkYg7Z8YtpId/lfsIfnuPkp8WXposU8", "correct horse"},
    {"$pbkdf2-sha256$1000$AAECAwQFBgcICQoLDA0ODw$QciSJ3gUl7y1oWx9XukLiZvz1aZbuhWKBaJEnkw0do4",
     "pass"},
    {"$pbkdf2-sha256$2000$....AAECAwQFBgcICQoLDA$lon5dwEvlowJ6X7Et7BvVIIwLLCQnq9DzxL1VwSYHrg",
     "correct horse"},
    {"$apr1$GEfolTuE$4PoH.JSHOrX3IJynjnXRn/", "pass"},
    {"$apr1$7nLxizlM$eFbYBt9KwFxrur/ebGR191", "correct horse"},
    {"{SHA}nU4eI71bcnBGqeO0t9tXvY1u5oQ=", "pass"},
    {"{SHA}L55TUjtiq8FBorTWAZ0jy6g129A=", "correct horse"},
    {"Secret", "Secret"},
    {"$2b$03$not a hash at all", "$2b$03$not a hash at all"},
};

// The right password matches where the build verifies the scheme; a wrong one, the right one
// with a byte more, less or changed, or with a NUL byte and more after it, never does (the
// crypt library reads C strings and would see only the part before the NUL). One NUL byte
// more at the end is a wrong password too, except to pbkdf2-sha256: HMAC pads its key with
// zeros, so PBKDF2 (passlib's as well) cannot tell "pass" from "pass\0".
TEST(PasswordHashTest, VerifiesEachScheme) {
  for (const VerifyCase& c : kCases) {
    SCOPED_TRACE(c.stored);
    const bool verifiable = canVerify(schemeOf(c.stored));
    EXPECT_EQ(verifyPassword(c.stored, c.right), verifiable);
    std::string changed = c.right;
    changed[0] ^= 0x20;
    for (const std::string& wrong :
         {changed, c.right + "x", c.right.substr(1), c.right + "\0x"s, "\0"s + c.right, ""s}) {
      EXPECT_FALSE(verifyPassword(c.stored, wrong)) << wrong;
    }
    if (schemeOf(c.stored) != Scheme::kPbkdf2Sha256) {
      EXPECT_FALSE(verifyPassword(c.stored, c.right + "\0"s));
    }
    // A hash sent as the password is not the password.
    if (c.stored != c.right) {
      EXPECT_FALSE(verifyPassword(c.stored, c.stored));
    }
  }
  EXPECT_TRUE(verifyPassword("", ""));
}

TEST(PasswordHashTest, CryptSchemesOnlyWhereTheSystemHasTheLibrary) {
  for (Scheme scheme : {Scheme::kPlain, Scheme::kPbkdf2Sha256, Scheme::kApr1, Scheme::kSha1}) {
    EXPECT_TRUE(canVerify(scheme)) << schemeName(scheme);
  }
  for (Scheme scheme :
       {Scheme::kYescrypt, Scheme::kBcrypt, Scheme::kSha512Crypt, Scheme::kSha256Crypt}) {
#ifdef _WIN32
    EXPECT_FALSE(canVerify(scheme)) << schemeName(scheme);
#else
    EXPECT_TRUE(canVerify(scheme)) << schemeName(scheme);
#endif
  }
#ifdef _WIN32
  EXPECT_EQ(defaultScheme(), Scheme::kPbkdf2Sha256);
#else
  EXPECT_EQ(defaultScheme(), Scheme::kYescrypt);
#endif
}

TEST(PasswordHashTest, NewHashesVerifyAndDifferEachTime) {
  const std::string password = "Tr0ub4dor&3 \xc3\xa9";
  const std::optional<std::string> first = hashPassword(password);
  const std::optional<std::string> second = hashPassword(password);
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  for (const std::string& stored : {*first, *second}) {
    EXPECT_EQ(schemeOf(stored), defaultScheme()) << stored;
    EXPECT_TRUE(verifyPassword(stored, password)) << stored;
    EXPECT_FALSE(verifyPassword(stored, "Tr0ub4dor&3")) << stored;
  }
  if (defaultScheme() == Scheme::kPbkdf2Sha256) {
    EXPECT_TRUE(first->starts_with("$pbkdf2-sha256$" + std::to_string(kDefaultPbkdf2Rounds) + "$"));
  }
  const std::optional<std::string> empty = hashPassword("");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(verifyPassword(*empty, ""));
  EXPECT_FALSE(verifyPassword(*empty, "x"));
}

// A password with a NUL byte is hashed whole or not at all: never the part before the NUL.
TEST(PasswordHashTest, PasswordWithNulIsNeverHashedInPart) {
  const std::string password = "abc\0def"s;
  const std::optional<std::string> stored = hashPassword(password);
  if (defaultScheme() == Scheme::kPbkdf2Sha256) {
    ASSERT_TRUE(stored);
    EXPECT_TRUE(verifyPassword(*stored, password));
  } else {
    EXPECT_FALSE(stored);
  }
  if (stored) {
    EXPECT_FALSE(verifyPassword(*stored, "abc"));
  }
}

}  // namespace
}  // namespace gatekeeper::passhash
