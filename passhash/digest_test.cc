#include <gtest/gtest.h>

#include <string>

#include "passhash/hmac_sha256.h"
#include "passhash/md5.h"
#include "passhash/sha1.h"
#include "passhash/sha256.h"
#include "passhash/test_hex.h"

namespace gatekeeper::passhash {
namespace {

struct DigestCase {
  std::string message;
  const char* sha256;
  const char* sha1;
};

// FIPS 180 examples (one block, two blocks, a million 'a') and the empty message.
TEST(DigestTest, Sha256AndSha1KnownAnswers) {
  const DigestCase cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
       "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
       "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
       "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const DigestCase& c : cases) {
    SCOPED_TRACE(c.message.substr(0, 20));
    EXPECT_EQ(hexOf(sha256(c.message)), c.sha256);
    EXPECT_EQ(hexOf(sha1(c.message)), c.sha1);
  }
}

// A message given in pieces of every size hashes as when given whole, the padding at every
// length around the block boundaries included.
TEST(DigestTest, Sha256InPiecesEqualsWhole) {
  std::string message;
  for (int i = 0; i < 200; ++i) message.push_back(static_cast<char>(i * 7 + 3));
  for (std::size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 200}) {
    const std::string_view whole(message.data(), length);
    for (std::size_t piece : {1, 3, 63, 64, 65}) {
      Sha256 hash;
      for (std::size_t at = 0; at < length; at += piece) hash.update(whole.substr(at, piece));
      EXPECT_EQ(hash.finish(), sha256(whole)) << "length " << length << " piece " << piece;
    }
  }
  EXPECT_EQ(hexOf(sha256(std::string_view(message.data(), 56))),
            "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27");
}

// RFC 1321's test suite.
TEST(DigestTest, Md5KnownAnswers) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [message, expected] : cases) EXPECT_EQ(hexOf(md5(message)), expected) << message;
}

// RFC 4231 test cases 1 to 7 (case 5's digest is compared on its first 128 bits, as there).
TEST(DigestTest, HmacSha256KnownAnswers) {
  std::string key4;
  for (char c = 1; c <= 25; ++c) key4.push_back(c);
  const struct {
    std::string key;
    std::string message;
    std::string expected;
  } cases[] = {
      {std::string(20, '\x0b'), "Hi There",
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"Jefe", "what do ya want for nothing?",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {std::string(20, '\xaa'), std::string(50, '\xdd'),
       "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
      {key4, std::string(50, '\xcd'),
       "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
      {std::string(20, '\x0c'), "Test With Truncation", "a3b6167473100ee06e0c796c2955552b"},
      {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {std::string(131, '\xaa'),
       "This is a test using a larger than block-size key and a larger than block-size data. "
       "The key needs to be hashed before being used by the HMAC algorithm.",
       "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
  };
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(++number);
    EXPECT_EQ(hexOf(hmacSha256(c.key, c.message)).substr(0, c.expected.size()), c.expected);
    // The keyed object gives the same digest for each message, and again when reused.
    const HmacSha256 keyed(c.key);
    EXPECT_EQ(hexOf(keyed.mac(c.message)).substr(0, c.expected.size()), c.expected);
    EXPECT_EQ(keyed.mac(c.message), hmacSha256(c.key, c.message));
  }
  // A key of exactly one block is used as it is, not hashed first.
  EXPECT_EQ(hexOf(hmacSha256(std::string(64, 'k'), "m")),
            "3b7a8d453e76edb519238a515105a57508d0f169f480ebeee120a9e7803289fa");
}

}  // namespace
}  // namespace gatekeeper::passhash
