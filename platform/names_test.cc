#include "platform/names.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace gatekeeper::platform {
namespace {

TEST(NamesTest, EqualityIgnoresAsciiCase) {
  EXPECT_TRUE(namesEqual("MAIN", "main"));
  EXPECT_TRUE(namesEqual("PassWord", "password"));
  EXPECT_TRUE(namesEqual("", ""));
  EXPECT_FALSE(namesEqual("Staff", "Staff2"));
  EXPECT_FALSE(namesEqual("a", ""));
}

TEST(NamesTest, OrderingIsConsistentWithEquality) {
  EXPECT_LT(compareNames("apple", "Banana"), 0);
  EXPECT_GT(compareNames("banana", "APPLE"), 0);
  EXPECT_LT(compareNames("abc", "abcd"), 0);
  EXPECT_GT(compareNames("abcd", "ABC"), 0);
  // Antisymmetry on a mixed set.
  const char* names[] = {"a", "B", "c", "AB", "ab", "Zeta", "zeta1", ""};
  for (const char* x : names) {
    for (const char* y : names) {
      const int xy = compareNames(x, y);
      const int yx = compareNames(y, x);
      EXPECT_EQ(xy == 0, yx == 0) << x << " " << y;
      if (xy < 0) {
        EXPECT_GT(yx, 0) << x << " " << y;
      }
    }
  }
}

// Equal names get equal hashes; on every platform the printable ASCII names get one, and for
// those equality is exactly ASCII case folding (what a hash index relies on).
TEST(NamesTest, HashAgreesWithEquality) {
  std::uint64_t h1 = 0, h2 = 0;
  ASSERT_TRUE(nameHash("Staff-Users", &h1));
  ASSERT_TRUE(nameHash("sTAFF-uSERS", &h2));
  EXPECT_EQ(h1, h2);
  ASSERT_TRUE(nameHash("Staff_Users", &h2));
  EXPECT_NE(h1, h2);
  EXPECT_FALSE(namesEqual("co-op", "coop"));
  EXPECT_FALSE(namesEqual("it's", "its"));
  // Random printable ASCII names of a small alphabet (so that collisions of folded names are
  // frequent): equality must match the folded comparison.
  const char alphabet[] = "aAbB-' .|_@09";
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
  for (int round = 0; round < 3000; ++round) {
    char a[6] = {}, b[6] = {};
    const int la = static_cast<int>(next() % 5), lb = static_cast<int>(next() % 5);
    for (int i = 0; i < la; ++i) a[i] = alphabet[next() % (sizeof(alphabet) - 1)];
    for (int i = 0; i < lb; ++i) b[i] = (next() % 2) ? a[i] : alphabet[next() % (sizeof(alphabet) - 1)];
    const std::string sa = a, sb = b;  // b may have stopped early at a's end
    bool folded = sa.size() == sb.size();
    for (size_t i = 0; folded && i < sa.size(); ++i) {
      folded = (a[i] | (a[i] >= 'A' && a[i] <= 'Z' ? 0x20 : 0)) ==
               (b[i] | (b[i] >= 'A' && b[i] <= 'Z' ? 0x20 : 0));
    }
    ASSERT_EQ(namesEqual(a, b), folded) << "'" << a << "' '" << b << "'";
    ASSERT_TRUE(nameHash(a, &h1));
    ASSERT_TRUE(nameHash(b, &h2));
    if (folded) {
      ASSERT_EQ(h1, h2);
    }
  }
}

#ifndef _WIN32
// ISO-8859-1 letters fold like ASCII ones; the multiplication and division signs do not.
TEST(NamesTest, FoldsLatin1Letters) {
  EXPECT_TRUE(namesEqual("\xC4rger", "\xE4rger"));      // Ä / ä
  EXPECT_TRUE(namesEqual("\xD8ster", "\xF8ster"));      // Ø / ø
  EXPECT_FALSE(namesEqual("\xD7", "\xF7"));             // × / ÷
  std::uint64_t h1 = 0, h2 = 0;
  ASSERT_TRUE(nameHash("\xC4rger", &h1));
  ASSERT_TRUE(nameHash("\xE4rger", &h2));
  EXPECT_EQ(h1, h2);
}
#endif

}  // namespace
}  // namespace gatekeeper::platform
