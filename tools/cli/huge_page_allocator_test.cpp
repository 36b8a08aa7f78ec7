#include "huge_page_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace wendrake_cli {
namespace {

template <typename T>
using HugeVector = std::vector<T, HugePageAllocator<T>>;

// Growing element by element moves the values from heap blocks into mapped
// ones and between mapped ones of different sizes; every block goes back
// with the size it was taken with.
TEST(HugePageAllocatorTest, GrowingKeepsEveryValueAcrossTheThreshold) {
  HugeVector<uint64_t> values;
  constexpr uint64_t kCount = 5u << 20;  // 40 MB, through several mapped sizes
  for (uint64_t i = 0; i < kCount; ++i) values.push_back(i * 2654435761u);
  for (uint64_t i = 0; i < kCount; ++i) ASSERT_EQ(values[i], i * 2654435761u) << i;
  HugeVector<uint64_t> copy = values;
  values.clear();
  values.shrink_to_fit();
  EXPECT_EQ(copy.back(), (kCount - 1) * 2654435761u);
}

TEST(HugePageAllocatorTest, LargeBlocksStartOnHugePageBoundaries) {
  for (size_t bytes : {huge_pages::kThreshold, huge_pages::kHugePage, 3 * huge_pages::kHugePage + 1}) {
    HugeVector<char> block(bytes, 'x');
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block.data()) % huge_pages::kHugePage, 0u) << bytes;
    EXPECT_EQ(block.front(), 'x');
    EXPECT_EQ(block.back(), 'x');
  }
  HugeVector<char> small(1000, 'y');
  EXPECT_EQ(small.back(), 'y');
}

}  // namespace
}  // namespace wendrake_cli
