#include "zor/model/pointer_set.h"

#include <gtest/gtest.h>

#include <vector>

namespace ZOR_RAM {
namespace {

// Addresses gathered mostly in order, with drops back, repeats and null, are
// all found whether asked in increasing order, in decreasing order or twice;
// the addresses between them are not.
TEST(SortedPointers, FindsEveryHeldAddressInAnyOrderOfLookUps) {
  std::vector<char> block(64 * 100);
  const auto at = [&block](size_t i) -> const void* { return &block[i * 64]; };
  std::vector<const void*> gathered;
  for (size_t i : {10, 11, 12, 2, 3, 13, 13, 90, 40, 41, 91, 0}) gathered.push_back(at(i));
  gathered.push_back(nullptr);
  const TSortedPointers set(gathered);
  const auto held = [&gathered](const void* p) {
    for (const void* g : gathered)
      if (g == p) return p != nullptr;
    return false;
  };
  for (size_t i = 0; i < 100; ++i) EXPECT_EQ(set.Contains(at(i)), held(at(i))) << i;
  for (size_t i = 100; i-- > 0;) EXPECT_EQ(set.Contains(at(i)), held(at(i))) << i;
  for (size_t i : {91, 13, 13, 0, 40, 2}) EXPECT_EQ(set.Contains(at(i)), held(at(i))) << i;
  EXPECT_FALSE(set.Contains(nullptr));
  EXPECT_FALSE(TSortedPointers().Contains(at(0)));
}

}  // namespace
}  // namespace ZOR_RAM
