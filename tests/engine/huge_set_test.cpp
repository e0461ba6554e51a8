#include <gtest/gtest.h>

#include "engine/vr6_glbl.h"

namespace velorin {
namespace {

TEST(HugeSetBits, SetClearAndToggle) {
  TvrHugeSet set;
  EXPECT_EQ(set.Highest(), -1);
  EXPECT_EQ(set.PageCount(), 0);
  EXPECT_FALSE(set.Test(0));
  set.Modify(5, TvrHugeSet::kSetBit);
  EXPECT_TRUE(set.Test(5));
  EXPECT_FALSE(set.Test(4));
  EXPECT_EQ(set.Highest(), 5);
  set.Modify(5, TvrHugeSet::kToggleBit);
  EXPECT_FALSE(set.Test(5));
  set.Modify(5, TvrHugeSet::kToggleBit);
  EXPECT_TRUE(set.Test(5));
  set.Modify(5, TvrHugeSet::kClearBit);
  EXPECT_FALSE(set.Test(5));
  EXPECT_EQ(set.Highest(), 5);
}

TEST(HugeSetBits, LayoutIsLeastSignificantBitFirst) {
  TvrHugeSet set;
  for (int32_t n : {0, 9, 15, 131071}) set.Modify(n, TvrHugeSet::kSetBit);
  ASSERT_EQ(set.PageCount(), 1);
  const uint8_t* page = set.PageData(0);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page[0], 0x01);
  EXPECT_EQ(page[1], 0x82);  // bits 9 and 15
  EXPECT_EQ(page[16383], 0x80);
  int setBytes = 0;
  for (int i = 0; i < TvrHugeSet::kPageBytes; ++i) setBytes += page[i] != 0;
  EXPECT_EQ(setBytes, 3);
}

TEST(HugeSetBits, BitOfTheNextPageAllocatesIt) {
  TvrHugeSet set;
  set.Modify(131071, TvrHugeSet::kSetBit);
  EXPECT_EQ(set.PageCount(), 1);
  set.Modify(131072, TvrHugeSet::kSetBit);
  EXPECT_EQ(set.PageCount(), 2);
  EXPECT_EQ(set.PageData(1)[0], 0x01);
  EXPECT_TRUE(set.Test(131072));
  EXPECT_EQ(set.PageData(2), nullptr);
  // Clearing a bit far out also allocates up to its page.
  set.Modify(5 * 131072 + 3, TvrHugeSet::kClearBit);
  EXPECT_EQ(set.PageCount(), 6);
  EXPECT_EQ(set.Highest(), 5 * 131072 + 3);
}

TEST(HugeSetBits, AboveTheHighestTouchedBitIsFalse) {
  TvrHugeSet set;
  set.Modify(10, TvrHugeSet::kSetBit);
  set.Modify(20, TvrHugeSet::kClearBit);
  EXPECT_FALSE(set.Test(21));
  EXPECT_FALSE(set.Test(1000000));
  EXPECT_FALSE(set.Test(std::numeric_limits<int32_t>::max()));
  EXPECT_TRUE(set.Test(10));
}

TEST(HugeSetBits, NegativeNumbersAndUnknownOperationsAreIgnored) {
  TvrHugeSet set;
  set.Modify(-1, TvrHugeSet::kSetBit);
  set.Modify(std::numeric_limits<int32_t>::min(), TvrHugeSet::kToggleBit);
  EXPECT_EQ(set.PageCount(), 0);
  EXPECT_EQ(set.Highest(), -1);
  EXPECT_FALSE(set.Test(-1));
  set.Modify(3, 3);
  set.Modify(3, -1);
  EXPECT_EQ(set.PageCount(), 0);
  EXPECT_EQ(set.Highest(), -1);
  set.Modify(3, TvrHugeSet::kSetBit);
  EXPECT_FALSE(set.Test(-8));
}

TEST(HugeSetBits, ClearZeroesButKeepsPages) {
  TvrHugeSet set;
  set.Modify(7, TvrHugeSet::kSetBit);
  set.Modify(200000, TvrHugeSet::kSetBit);
  set.Clear();
  EXPECT_EQ(set.Highest(), -1);
  EXPECT_EQ(set.PageCount(), 2);
  EXPECT_FALSE(set.Test(7));
  EXPECT_EQ(set.PageData(0)[0], 0);
  set.Modify(300, TvrHugeSet::kClearBit);
  EXPECT_FALSE(set.Test(7));  // below the new highest, and zeroed
  EXPECT_FALSE(set.Test(200000));
}

TEST(HugeSetBits, EveryBitIndependent) {
  TvrHugeSet set;
  for (int32_t n = 0; n < 300000; n += 3) set.Modify(n, TvrHugeSet::kSetBit);
  for (int32_t n = 0; n < 300000; ++n) ASSERT_EQ(set.Test(n), n % 3 == 0) << n;
}

}  // namespace
}  // namespace velorin
