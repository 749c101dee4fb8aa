#include "platform/names.h"

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

#ifndef _WIN32
// ISO-8859-1 letters fold like ASCII ones; the multiplication and division signs do not.
TEST(NamesTest, FoldsLatin1Letters) {
  EXPECT_TRUE(namesEqual("\xC4rger", "\xE4rger"));      // Ä / ä
  EXPECT_TRUE(namesEqual("\xD8ster", "\xF8ster"));      // Ø / ø
  EXPECT_FALSE(namesEqual("\xD7", "\xF7"));             // × / ÷
}
#endif

}  // namespace
}  // namespace gatekeeper::platform
