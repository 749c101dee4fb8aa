#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/random_bytes.h"

namespace gatekeeper::platform {
namespace {

TEST(RandomBytesTest, FillsTheWholeBufferAfreshEachTime) {
  std::array<unsigned char, 32> first{}, second{};
  ASSERT_TRUE(fillRandomBytes(first.data(), first.size()));
  ASSERT_TRUE(fillRandomBytes(second.data(), second.size()));
  EXPECT_NE(first, second);
  EXPECT_TRUE(fillRandomBytes(nullptr, 0));

  // Every byte value turns up in 64 KiB (a value missing by chance: about 1 in 10^110), so
  // the buffer is filled to its end, not only its first piece.
  std::vector<unsigned char> large(65536, 0);
  ASSERT_TRUE(fillRandomBytes(large.data(), large.size()));
  std::array<bool, 256> seen{};
  for (std::size_t i = large.size() / 2; i < large.size(); ++i) seen[large[i]] = true;
  for (int value = 0; value < 256; ++value) EXPECT_TRUE(seen[value]) << value;
}

}  // namespace
}  // namespace gatekeeper::platform
