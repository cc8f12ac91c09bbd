// Integer and bit arrays, the scan-condition list's planning steps, GUID names.

#include <gtest/gtest.h>

#include "db/support/DAZArrays.h"
#include "db/support/DAZRandom.h"
#include "db/support/DAZScanConditions.h"
#include "db/support/DAZStreams.h"
#include "tests/db_support/DAZTestUtil.h"

namespace {

std::vector<int32_t> Items(const TABSIntegerArray& a) { return {a.Items.begin(), a.Items.begin() + a.ItemCount}; }

TEST(TABSIntegerArray, GrowthAndShrinkSteps) {
  TABSIntegerArray a(0, 10, 100);
  a.Append(1);
  EXPECT_EQ(a.AllocItemCount(), 20);
  for (int i = 1; i < 21; ++i) a.Append(i);
  EXPECT_EQ(a.AllocItemCount(), 60);
  for (int i = 21; i < 60; ++i) a.Append(i);
  EXPECT_EQ(a.AllocItemCount(), 60);
  while (a.ItemCount > 1) {
    a.Delete(0);
    ASSERT_EQ(a.AllocItemCount(), 60);
  }
  a.Delete(0);
  EXPECT_EQ(a.AllocItemCount(), 0);

  TABSIntegerArray b(0, 10, 100);
  for (int i = 0; i < 60; ++i) b.Append(i);
  b.deAllocBy = 10;
  b.SetSize(55);
  EXPECT_EQ(b.AllocItemCount(), 60);
  b.SetSize(45);
  EXPECT_EQ(b.AllocItemCount(), 45);
  EXPECT_EQ(b.deAllocBy, 20);
}

TEST(TABSIntegerArray, MoveInsertDelete) {
  struct Case {
    int From, To;
    std::vector<int32_t> Expected;
  } cases[] = {{2, 4, {10, 11, 13, 12, 14}}, {4, 1, {10, 14, 11, 12, 13}}, {1, 2, {10, 12, 11, 13, 14}}, {3, 3, {10, 11, 12, 13, 14}}};
  for (const auto& c : cases) {
    TABSIntegerArray a;
    for (int v = 10; v < 15; ++v) a.Append(v);
    a.MoveTo(c.From, c.To);
    EXPECT_EQ(Items(a), c.Expected) << c.From << "->" << c.To;
  }
  TABSIntegerArray a;
  a.Insert(5, 1);
  a.Insert(0, 0);
  a.Insert(9, 3);
  a.Insert(2, 2);
  EXPECT_EQ(Items(a), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(a.IndexOf(2), 2);
  EXPECT_FALSE(a.IsValueExists(7));
}

TEST(TABSBitsArray, RankSelectFindAndStreamForm) {
  TABSBitsArray b;
  b.SetSize(10);
  b.SetBit(0, true);
  b.SetBit(9, true);
  b.SetBit(9, true);  // no double count
  EXPECT_EQ(b.NonZeroBitCount(), 2);
  EXPECT_EQ(b.GetBitPositionByBitNo(9), 1);
  EXPECT_EQ(b.GetBitNoByBitPosition(1), 9);
  int found = -1;
  EXPECT_TRUE(b.Find(true, false, 0, found));
  EXPECT_EQ(found, 9);
  EXPECT_TRUE(b.Find(false, false, 9, found));
  EXPECT_EQ(found, 0);
  EXPECT_FALSE(b.Find(false, true, 9, found));
  EXPECT_TRUE(b.FindBit(false, found));
  EXPECT_EQ(found, 1);

  TABSMemoryStream s;
  b.SaveToStream(s);
  const std::vector<uint8_t> expected = {10, 0, 0, 0, 2, 0, 0, 0, 0x01, 0x02};
  EXPECT_EQ(std::vector<uint8_t>(s.Buffer(), s.Buffer() + s.Size()), expected);
  s.Seek(0, soBeginning);
  TABSBitsArray c;
  c.LoadFromStream(s);
  EXPECT_TRUE(c.GetBit(9));
  EXPECT_EQ(c.NonZeroBitCount(), 2);

  EXPECT_EQ(CodeOf([&] { (void)b.GetBit(10); }), 10394);
  EXPECT_EQ(CodeOf([&] { b.SetBit(10, true); }), 10395);
  EXPECT_EQ(CodeOf([&] { (void)b.GetBitNoByBitPosition(2); }), 10428);

  b.SetAllBits();
  EXPECT_EQ(b.NonZeroBitCount(), 10);
  EXPECT_EQ(b.Bits()[1], 0xFF);
  EXPECT_EQ(b.GetBitNoByBitPosition(7), 7);

  // Shrinking forgets the bits past the end: growing again brings none back.
  b.SetSize(3);
  EXPECT_EQ(b.NonZeroBitCount(), 3);
  b.SetSize(10);
  EXPECT_FALSE(b.GetBit(5));
  EXPECT_EQ(b.NonZeroBitCount(), 3);

  // A damaged stream (more set bits than bits) is refused.
  const std::vector<uint8_t> bad = {2, 0, 0, 0, 9, 0, 0, 0, 3};
  TABSMemoryStream d;
  d.Write(bad.data(), 9);
  d.Seek(0, soBeginning);
  EXPECT_NE(CodeOf([&] { c.LoadFromStream(d); }), 0);
}

TEST(TABSBitsArray, RankAndSelectAgreeWithAPlainModel) {
  TABSSeededRandomSource rnd(7);
  for (int round = 0; round < 50; ++round) {
    const int n = 1 + static_cast<int>(rnd.Next32() % 70);
    TABSBitsArray b;
    b.SetSize(n);
    std::vector<int> set;
    for (int i = 0; i < n; ++i)
      if (rnd.Next32() % 3 == 0) {
        b.SetBit(i, true);
        set.push_back(i);
      }
    ASSERT_EQ(b.NonZeroBitCount(), static_cast<int>(set.size()));
    for (size_t p = 0; p < set.size(); ++p) {
      EXPECT_EQ(b.GetBitNoByBitPosition(static_cast<int>(p)), set[p]);
      EXPECT_EQ(b.GetBitPositionByBitNo(set[p]), static_cast<int>(p));
    }
  }
}

// An expression double that records what the planner asks of it.
class TFakeExpression : public TABSBaseExpression {
 public:
  void CreateIndexScanConditions(TABSScanIndexDefs&, TABSScanSearchConditionArray& List, int) override {
    TABSScanSearchCondition c;
    c.IndexID = 1;
    c.CreatedFromExpression = true;
    c.ParentExpressions.push_back(this);
    c.ParentExpressionNodes.push_back(this);
    List.AddCondition(c);
  }
  bool ExtendMultiFieldIndexCondition(TABSScanSearchCondition& c, TABSScanIndexDefs&) override {
    if (c.KeyFieldCount >= 2) return false;
    ++c.KeyFieldCount;
    return true;
  }
  void RemoveExtractedNodes(TABSScanSearchConditionArray&, int, int) override { ++Removed; }
  void AddNode(TObject*) override { ++Returned; }
  int Removed = 0, Returned = 0;
};

class TTwoColumnIndexes : public TABSScanIndexDefs {
 public:
  int GetIndexColumnCountByObjectId(int) const override { return 2; }
};

TEST(TABSScanSearchConditionArray, PlanningSteps) {
  TFakeExpression e;
  TTwoColumnIndexes indexes;
  TABSScanSearchConditionArray a;
  a.AddExpression(&e);
  a.CreateIndexScanConditionsFromExpressions(indexes, 0);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a[1].KeyFieldCount, 2);  // extended until the expression declined

  TABSScanSearchCondition bad;
  EXPECT_EQ(CodeOf([&] { a.AddCondition(bad); }), 10388);
  EXPECT_EQ(CodeOf([&] { a.Delete(5); }), 10413);

  // Chosen 2 of four conditions made from expressions: items 0 and 1 go, the last stays.
  TABSScanSearchConditionArray b;
  for (int i = 0; i < 4; ++i) {
    TABSScanSearchCondition c;
    c.IndexID = 10 + i;
    c.CreatedFromExpression = true;
    c.ParentExpressions.push_back(&e);
    c.ParentExpressionNodes.push_back(&e);
    b.AddCondition(c);
  }
  int start = 2, end = -1;
  b.RemoveUnusedConditionsCreatedFromExpressions(start, end);
  ASSERT_EQ(b.Count(), 2);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(b[0].IndexID, 12);
  EXPECT_EQ(b[1].IndexID, 13);
  b.ReturnExtractedConditionsToExpressions(start, end);
  EXPECT_EQ(e.Returned, 1);
}

TEST(TABSScanSearchCondition, AssignCopiesTheKeyBuffer) {
  uint8_t key[4] = {1, 2, 3, 4};
  TABSScanSearchCondition external(true);
  external.KeyRecordBuffer = key;
  external.KeyRecordBufferSize = 4;
  external.IndexID = 3;
  TABSScanSearchCondition copy;
  copy.Assign(external);
  EXPECT_NE(copy.KeyRecordBuffer, key);
  EXPECT_EQ(copy.KeyRecordBuffer[3], 4);
  EXPECT_FALSE(copy.ExternalKeyRecordBuffer());
}

TEST(AddGUIDToName, FormAndUniqueness) {
  const String a = AddGUIDToName("TEMP_DB"), b = AddGUIDToName("TEMP_DB");
  EXPECT_EQ(a.size(), 45u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a[7], '{');
  EXPECT_EQ(a[16], '-');
  EXPECT_EQ(a.back(), '}');
  auto previous = SetRandomSource(std::make_unique<TABSSeededRandomSource>(1));
  const String x = CreateGUIDString();
  SetRandomSource(std::make_unique<TABSSeededRandomSource>(1));
  EXPECT_EQ(CreateGUIDString(), x);  // an injected source makes names repeatable
  SetRandomSource(std::move(previous));
}

}  // namespace
