#include "zor/model/pointer_set.h"

#include <gtest/gtest.h>

#include <vector>

namespace ZOR_RAM {
namespace {

// The pointer set holds each pointer once, through growth from its smallest
// size, and never holds null; addresses a fixed distance apart (items in a
// row) are all told apart.
TEST(PointerSet, HoldsEachPointerOnceThroughGrowth) {
  std::vector<char> block(272 * 1000);
  TPointerSet set;
  for (int round = 0; round < 2; ++round)
    for (size_t i = 0; i < 1000; i += 2) set.Insert(&block[i * 272]);
  set.Insert(nullptr);
  EXPECT_EQ(set.Size(), 500u);
  for (size_t i = 0; i < 1000; ++i) EXPECT_EQ(set.Contains(&block[i * 272]), i % 2 == 0) << i;
  EXPECT_FALSE(set.Contains(nullptr));
}

}  // namespace
}  // namespace ZOR_RAM
