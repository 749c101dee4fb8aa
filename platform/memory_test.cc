#include "platform/memory.h"

#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace gatekeeper::platform {
namespace {

// Small blocks come from the C heap, large ones in pages: both are usable over their whole
// size, and a resize keeps the bytes asked for across the boundary in either direction.
TEST(MemoryBlockTest, SmallAndLargeBlocksHoldTheirBytesAcrossResizes) {
  const std::size_t sizes[] = {1, 4096, MemoryBlock::kPageBlockSize - 1,
                               MemoryBlock::kPageBlockSize, 3 * MemoryBlock::kPageBlockSize + 17};
  for (std::size_t size : sizes) {
    SCOPED_TRACE(size);
    MemoryBlock block = MemoryBlock::allocate(size);
    ASSERT_TRUE(block);
    ASSERT_GE(block.size(), size);
    std::memset(block.data(), 'a', block.size());
    const std::string pattern(size, 'k');
    std::memcpy(block.data(), pattern.data(), size);
    for (std::size_t to : {size / 2 + 1, 2 * size, size + MemoryBlock::kPageBlockSize}) {
      MemoryBlock copy = MemoryBlock::allocate(size);
      std::memcpy(copy.data(), pattern.data(), size);
      ASSERT_TRUE(copy.resize(to, size));
      ASSERT_GE(copy.size(), to);
      const std::size_t kept = to < size ? to : size;
      EXPECT_EQ(std::string(copy.data(), kept), pattern.substr(0, kept));
      std::memset(copy.data(), 'z', copy.size());  // the whole block is writable
    }
  }
}

TEST(MemoryBlockTest, OwnershipMovesAndEmptyBlocksAreFalse) {
  EXPECT_FALSE(MemoryBlock::allocate(0));
  MemoryBlock first = MemoryBlock::allocate(2 * MemoryBlock::kPageBlockSize);
  char* data = first.data();
  MemoryBlock second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.data(), data);
  MemoryBlock third = MemoryBlock::allocate(10);
  third = std::move(second);  // the small block is freed, the large one changes hands
  EXPECT_EQ(third.data(), data);
  EXPECT_EQ(second.size(), 0u);
}

}  // namespace
}  // namespace gatekeeper::platform
