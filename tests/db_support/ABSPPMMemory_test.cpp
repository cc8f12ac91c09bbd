#include "db/support/ABSPPMMemory.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kUnit = TPPMUnitHeap::UnitSize;
constexpr uint32_t kBigBlock = TPPMUnitHeap::MaxUnits * kUnit;

// The reference of a byte offset from the heap's start.
TPPMRef At(uint32_t offset) { return kUnit + offset; }

TEST(TPPMUnitHeap, MarksOfATwoMegabyteHeap) {
  TPPMUnitHeap heap;
  ASSERT_TRUE(heap.Start(2));
  heap.Initialise();
  EXPECT_EQ(heap.LowMarkOffset(), 196608u);
  EXPECT_EQ(heap.HighMarkOffset(), 2097144u);
  EXPECT_TRUE(heap.ReserveHeld());
  // Small records come from the top, arrays from the bottom.
  EXPECT_EQ(heap.AllocContext(), At(2097144 - kUnit));
  EXPECT_EQ(heap.AllocUnits(5), At(196608));
  EXPECT_EQ(heap.LowMarkOffset(), 196608u + 6 * kUnit);
}

TEST(TPPMUnitHeap, RequestsTakeTheirSizeClass) {
  const struct {
    int request, units;
  } cases[] = {{1, 1}, {4, 4}, {5, 6}, {7, 8}, {13, 15}, {24, 24}, {25, 28}, {29, 32}, {127, 128}, {128, 128}};
  for (const auto& c : cases) EXPECT_EQ(TPPMUnitHeap::ClassUnits(TPPMUnitHeap::ClassOf(c.request)), c.units) << c.request;
}

TEST(TPPMUnitHeap, GrowMovesOnlyAcrossClasses) {
  TPPMUnitHeap heap;
  ASSERT_TRUE(heap.Start(1));
  heap.Initialise();
  const TPPMRef one = heap.AllocUnits(1);
  const TPPMRef two = heap.ExpandUnits(one, 1);
  EXPECT_NE(two, one);
  EXPECT_EQ(heap.AllocUnits(1), one);  // the old block went to its free list
  const TPPMRef five = heap.AllocUnits(5);
  EXPECT_EQ(heap.ExpandUnits(five, 5), five);
  // Shrinking splits in place when no block of the new class is free.
  const TPPMRef big = heap.AllocUnits(128);
  EXPECT_EQ(heap.ShrinkUnits(big, 128, 64), big);
  EXPECT_EQ(heap.AllocUnits(64), big + 64 * kUnit);
}

TEST(TPPMUnitHeap, ReserveIsReleasedOnceWhenTheMarksMeet) {
  TPPMUnitHeap heap;
  ASSERT_TRUE(heap.Start(1));
  heap.Initialise();
  while (heap.HighMarkOffset() - heap.LowMarkOffset() >= kBigBlock) ASSERT_NE(heap.AllocUnits(128), 0u);
  while (heap.HighMarkOffset() != heap.LowMarkOffset()) ASSERT_NE(heap.AllocContext(), 0u);
  ASSERT_TRUE(heap.ReserveHeld());

  // The reserve's blocks are handed out last one first; a 5-unit request takes
  // a 6-unit class and leaves 122 units: 120 to their list, then 2 to theirs.
  const TPPMRef last = At(127 * kBigBlock);
  EXPECT_EQ(heap.AllocUnits(5), last);
  EXPECT_FALSE(heap.ReserveHeld());
  EXPECT_EQ(heap.AllocUnits(120), last + 6 * kUnit);
  EXPECT_EQ(heap.AllocUnits(2), last + 126 * kUnit);

  for (int i = 126; i >= 0; --i) ASSERT_EQ(heap.AllocUnits(128), At(i * kBigBlock));
  EXPECT_EQ(heap.AllocUnits(128), 0u);
  EXPECT_EQ(heap.AllocUnits(1), 0u);
}

}  // namespace
