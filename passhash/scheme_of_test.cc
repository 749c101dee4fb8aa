#include <gtest/gtest.h>

#include <string>

#include "passhash/password_hash.h"

namespace gatekeeper::passhash {
namespace {

// Values written by mkpasswd (libxcrypt), htpasswd and passlib's pbkdf2-sha256 form.
const std::pair<std::string, Scheme> kWellFormed[] = {
    {"$y$j9T$GsGLZzKXbuOzOP5tHQTUI1$udd.hkziTqKxfCms7ru0mgIwRw6lX3ekfYicqTMFRv.",
     Scheme::kYescrypt},
    {"$2b$05$r5seCUZ0VC2jVdr5m7n9ieg6ORd1E.OwIl6sedFFhB.9HVfvnda.K", Scheme::kBcrypt},
    {"$2a$05$uvX5hxFVsgrDGiRBdNtTA.vs272Y5Y1ETGgK9ZZRDZDvONgAaNOQi", Scheme::kBcrypt},
    {"$2y$05$GNpGOMzivs.JLtfSSJySqeqK.vo0ko2KFCUVeBe5QTCNZw0lX2ItC", Scheme::kBcrypt},
    {"$6$p/CCyDdiFsYvstnB$QW84saHyr8VArDiiD9vBeodfgzfjpBp1dYolZYlKE5AdjrATuAd9Uk1lGmo/lN05iXS8c"
     "WrxNj7La1I7KlO7y/",
     Scheme::kSha512Crypt},
    {"$6$rounds=5000$abcdefghijklmnop$q2YZbPhm1LySTIzZVDisu/y2CX1McrFsw529ViOLMxoKT.sfgjBo4aFu.hw"
     "tGjEDxRb6mn/TZMj7V4/1AUTLi1",
     Scheme::kSha512Crypt},
    {"$5$iB4GJx7LgUwflNvu$ugUyP3cZqw477E8wZf4AmxXa54/u.7Hv1nEUptg0mN2", Scheme::kSha256Crypt},
    {"$5$rounds=1000$saltsalt$R6e4P8ccT9iMqkYg7Z8YtpId/lfsIfnuPkp8WXposU8", Scheme::kSha256Crypt},
    {"$pbkdf2-sha256$29000$AAECAwQFBgcICQoLDA0ODw$ZvLORN3Wu1.2s6Mb0kBKZ43bylSsC/t0Vz5rE9nJPNg",
     Scheme::kPbkdf2Sha256},
    {"$apr1$GEfolTuE$4PoH.JSHOrX3IJynjnXRn/", Scheme::kApr1},
    {"{SHA}nU4eI71bcnBGqeO0t9tXvY1u5oQ=", Scheme::kSha1},
};

TEST(SchemeOfTest, RecognisesEachSchemesOwnOutput) {
  for (const auto& [stored, scheme] : kWellFormed) {
    EXPECT_EQ(schemeOf(stored), scheme) << stored;
    EXPECT_TRUE(isPasswordHash(stored)) << stored;
  }
}

// One character short or long, a character outside the alphabet, or the hash left out:
// every near miss of a real hash is a plain password.
TEST(SchemeOfTest, NearMissesOfEachFormArePlain) {
  for (const auto& [stored, scheme] : kWellFormed) {
    const std::string last = stored.substr(0, stored.size() - 1);
    for (const std::string& miss :
         {last, stored + "a", stored + "=", last + "-", last + "+", last + "$", "x" + stored,
          stored.substr(0, stored.rfind('$') + 1), " " + stored, stored + "\n"}) {
      EXPECT_EQ(schemeOf(miss), Scheme::kPlain) << miss;
    }
  }
}

TEST(SchemeOfTest, ParametersAndSaltsAreCheckedAsWritten) {
  const std::string bcryptTail = "r5seCUZ0VC2jVdr5m7n9ieg6ORd1E.OwIl6sedFFhB.9HVfvnda.K";
  const std::string sha256Hash = "R6e4P8ccT9iMqkYg7Z8YtpId/lfsIfnuPkp8WXposU8";
  const std::string sha512Hash =
      "q2YZbPhm1LySTIzZVDisu/y2CX1McrFsw529ViOLMxoKT.sfgjBo4aFu.hwtGjEDxRb6mn/TZMj7V4/1AUTLi1";
  const std::string yescryptHash = "udd.hkziTqKxfCms7ru0mgIwRw6lX3ekfYicqTMFRv.";
  const std::string pbkdf2Hash = "ZvLORN3Wu1.2s6Mb0kBKZ43bylSsC/t0Vz5rE9nJPNg";
  const std::pair<std::string, Scheme> cases[] = {
      // bcrypt: two-digit cost 04 to 31, only the three known minor versions.
      {"$2b$04$" + bcryptTail, Scheme::kBcrypt},
      {"$2b$31$" + bcryptTail, Scheme::kBcrypt},
      {"$2b$03$" + bcryptTail, Scheme::kPlain},
      {"$2b$32$" + bcryptTail, Scheme::kPlain},
      {"$2b$5$" + bcryptTail, Scheme::kPlain},
      {"$2b$x5$" + bcryptTail, Scheme::kPlain},
      {"$2x$05$" + bcryptTail, Scheme::kPlain},
      {"$2$05$" + bcryptTail, Scheme::kPlain},
      // SHA-crypt: rounds 1000 to 999999999 without leading zeros; salt of 1 to 16.
      {"$5$rounds=999999999$s$" + sha256Hash, Scheme::kSha256Crypt},
      {"$5$rounds=999$s$" + sha256Hash, Scheme::kPlain},
      {"$5$rounds=01000$s$" + sha256Hash, Scheme::kPlain},
      {"$5$rounds=1000000000$s$" + sha256Hash, Scheme::kPlain},
      {"$5$rounds=$s$" + sha256Hash, Scheme::kPlain},
      {"$5$rounds=1000$" + sha256Hash, Scheme::kPlain},
      {"$5$rounds=1000$rounds=1000$s$" + sha256Hash, Scheme::kPlain},
      {"$5$0123456789abcdef$" + sha256Hash, Scheme::kSha256Crypt},
      {"$5$0123456789abcdefg$" + sha256Hash, Scheme::kPlain},
      {"$5$$" + sha256Hash, Scheme::kPlain},
      {"$5$sa+t$" + sha256Hash, Scheme::kPlain},
      {"$5$salt$" + sha512Hash, Scheme::kPlain},
      {"$6$salt$" + sha256Hash, Scheme::kPlain},
      {"$6$salt$" + sha512Hash, Scheme::kSha512Crypt},
      // yescrypt: parameters, salt and hash all present.
      {"$y$j9T$s$" + yescryptHash, Scheme::kYescrypt},
      {"$y$$s$" + yescryptHash, Scheme::kPlain},
      {"$y$j9T$$" + yescryptHash, Scheme::kPlain},
      {"$y$j9T$s$x$" + yescryptHash, Scheme::kPlain},
      {"$y$j9T$s" + yescryptHash, Scheme::kPlain},
      {"$y$j9=$s$" + yescryptHash, Scheme::kPlain},
      // pbkdf2-sha256: decimal rounds from 1 without leading zeros; salt and 32-byte hash in
      // adapted base64 as passlib writes them.
      {"$pbkdf2-sha256$1$AA$" + pbkdf2Hash, Scheme::kPbkdf2Sha256},
      {"$pbkdf2-sha256$0$AA$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$01$AA$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$-1$AA$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$$AA$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$1e3$AA$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$1$$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$1$A$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$1$AB$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$1$A+$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$1$AA==$" + pbkdf2Hash, Scheme::kPlain},
      {"$pbkdf2-sha256$1$AA$" + pbkdf2Hash.substr(0, 42) + "h", Scheme::kPlain},
      {"$pbkdf2-sha256$1$AA$" + pbkdf2Hash + "=", Scheme::kPlain},
      {"$pbkdf2-sha256$1$AA$" + pbkdf2Hash + "$", Scheme::kPlain},
      {"$pbkdf2-sha256$1$AA", Scheme::kPlain},
      {"$pbkdf2-sha512$1$AA$" + pbkdf2Hash, Scheme::kPlain},
      // apr1: salt of 1 to 8.
      {"$apr1$G$4PoH.JSHOrX3IJynjnXRn/", Scheme::kApr1},
      {"$apr1$$4PoH.JSHOrX3IJynjnXRn/", Scheme::kPlain},
      {"$apr1$GEfolTuEx$4PoH.JSHOrX3IJynjnXRn/", Scheme::kPlain},
      {"$apr1$GEfolTuE", Scheme::kPlain},
      {"$1$GEfolTuE$4PoH.JSHOrX3IJynjnXRn/", Scheme::kPlain},
      // {SHA}: 20 bytes exactly, padded, canonical; the prefix in capitals.
      {"{SHA}nU4eI71bcnBGqeO0t9tXvY1u5oQ=", Scheme::kSha1},
      {"{sha}nU4eI71bcnBGqeO0t9tXvY1u5oQ=", Scheme::kPlain},
      {"{SHA}nU4eI71bcnBGqeO0t9tXvY1u5o==", Scheme::kPlain},
      {"{SHA}nU4eI71bcnBGqeO0t9tXvY1u5oR=", Scheme::kPlain},
      {"{SHA}nU4eI71bcnBGqeO0t9tXvY1u5oQA", Scheme::kPlain},
      // Plain passwords, those that start like a hash included.
      {"", Scheme::kPlain},
      {"$", Scheme::kPlain},
      {"$$$", Scheme::kPlain},
      {"$y$", Scheme::kPlain},
      {"$money$", Scheme::kPlain},
      {"{SHA}", Scheme::kPlain},
      {"hunter2", Scheme::kPlain},
  };
  for (const auto& [stored, scheme] : cases) EXPECT_EQ(schemeOf(stored), scheme) << stored;
}

TEST(SchemeOfTest, NamesAndWeakness) {
  const struct {
    Scheme scheme;
    const char* name;
    bool weak;
  } cases[] = {
      {Scheme::kPlain, "plain", false},          {Scheme::kYescrypt, "yescrypt", false},
      {Scheme::kBcrypt, "bcrypt", false},        {Scheme::kSha512Crypt, "sha512-crypt", false},
      {Scheme::kSha256Crypt, "sha256-crypt", false},
      {Scheme::kPbkdf2Sha256, "pbkdf2-sha256", false},
      {Scheme::kApr1, "apr1", true},             {Scheme::kSha1, "sha1", true},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(schemeName(c.scheme), c.name);
    EXPECT_EQ(isWeakScheme(c.scheme), c.weak) << c.name;
  }
}

}  // namespace
}  // namespace gatekeeper::passhash
