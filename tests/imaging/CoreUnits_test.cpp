#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "imaging/cxGeometry.h"
#include "imaging/dxCore.h"
#include "imaging/dxCoreGraphics.h"
#include "imaging/dxThreading.h"

namespace {
std::vector<int> gCalls;
void Init1() { gCalls.push_back(1); }
void Done1() { gCalls.push_back(-1); }
void Done2() { gCalls.push_back(-2); }
}  // namespace

TEST(UnitsLoader, StartsAtOnceAndFinalizesInReverseOnce) {
  TdxUnitsLoader loader;
  loader.AddUnit(Init1, Done1);
  loader.AddUnit(nullptr, Done2);
  EXPECT_EQ(gCalls, std::vector<int>{1});
  loader.Finalize();
  loader.Finalize();
  EXPECT_EQ(gCalls, (std::vector<int>{1, -2, -1}));
  gCalls.clear();
  loader.AddUnit(Init1, Done1);
  loader.RemoveUnit(Done1);  // runs it
  loader.RemoveUnit(Done1);  // no longer there
  EXPECT_EQ(gCalls, (std::vector<int>{1, -1}));
  gCalls.clear();
}

TEST(CoreUnits, VersionFlagsAlphaColoursAndBitDepths) {
  const TdxSystemVersion seven = dxComputeSystemVersion(2, 6, 1, 6, 1, false);
  EXPECT_TRUE(seven.IsWin7 && seven.IsWin7OrLater && seven.IsWinVistaOrLater && !seven.IsWin8OrLater);
  const TdxSystemVersion ten = dxComputeSystemVersion(2, 6, 2, 10, 0, true);
  EXPECT_TRUE(ten.IsWin10 && ten.IsWin10OrLater && ten.IsWin64Bit);
  EXPECT_FALSE(dxSystemVersion().IsWinNT);

  EXPECT_EQ(dxAlphaColorToColor(dxacDefault), clDefault);
  EXPECT_EQ(dxAlphaColorToColor(dxacNone), clNone);
  uint8_t alpha = 0;
  EXPECT_EQ(dxAlphaColorToColor(0xFFFF0000u, alpha), 0xFF);
  EXPECT_EQ(alpha, 0xFF);

  TBitmap b;
  b.SetPixelFormat(pf15bit);
  EXPECT_EQ(GetBitmapBitsPerPixel(&b), 16);
  TRGBColors colors;
  EXPECT_FALSE(GetBitmapBits(&b, colors, true));
  b.SetSize(2, 2);
  b.Canvas()->SetPixels(0, 0, clRed);
  ASSERT_TRUE(GetBitmapBits(&b, colors, true));
  EXPECT_EQ(colors[0] & 0xFFFFFF, 0xFF0000u);
  ASSERT_TRUE(GetBitmapBits(&b, colors, false));
  EXPECT_EQ(colors[2] & 0xFFFFFF, 0xFF0000u);  // the top row comes last bottom-up
}

TEST(CoreUnits, RectChangesOnlyWhenItChanges) {
  TcxRect r(nullptr);
  int changes = 0;
  r.OnChange = [&](TObject*) { ++changes; };
  r.SetRect(TRect(1, 2, 3, 4));
  r.SetRect(TRect(1, 2, 3, 4));
  r.SetRight(3);
  EXPECT_EQ(changes, 1);
  r.SetBottom(10);
  EXPECT_EQ(changes, 2);
  TMemoryStream s;
  r.WriteData(s);
  EXPECT_EQ(s.Size(), 16);
  s.SetPosition(0);
  TcxRect copy(nullptr);
  copy.ReadData(s);
  EXPECT_EQ(copy.Rect(), TRect(1, 2, 3, 10));
  TcxRect other(nullptr);
  other.Assign(&r);
  EXPECT_EQ(other.Rect(), r.Rect());
  EXPECT_TRUE(cxRectIsEmpty(TRect(0, 0, 0, 5)));
}

TEST(CoreUnits, ThreadingObjectsOnlyOnSeveralProcessorsAndSortWorks) {
  dxInitializeThreading(1);
  EXPECT_EQ(dxMultithreadedSort(), nullptr);
  EXPECT_EQ(dxMultithreadedListIterator(), nullptr);
  dxInitializeThreading(2);
  ASSERT_NE(dxMultithreadedSort(), nullptr);
  EXPECT_EQ(dxMultithreadedSort()->ThreadCount(), 32);

  std::vector<int> values(50000);
  for (size_t i = 0; i < values.size(); ++i) values[i] = int((i * 7919) % 50000);
  std::vector<void*> list;
  for (int& v : values) list.push_back(&v);
  dxMultithreadedSort()->Sort(list, [](void* a, void* b) { return *static_cast<int*>(a) - *static_cast<int*>(b); });
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                             [](void* a, void* b) { return *static_cast<int*>(a) < *static_cast<int*>(b); }));
  std::atomic<long> sum{0};
  dxMultithreadedListIterator()->ForEach(list, [&](void* p) { sum += *static_cast<int*>(p); });
  EXPECT_EQ(sum.load(), long(50000) * 49999 / 2);
  dxFinalizeThreading();
  EXPECT_EQ(dxMultithreadedSort(), nullptr);
}
