#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"

TEST(SkinResample, DegenerateSizesAndCopies) {
  auto src = CodedBitmap(10, 10);
  auto dst = NewBitmap32(3, 3);
  ResampleBitmap32(src.get(), dst.get(), 1, 5, 6);  // too small: nothing
  EXPECT_EQ(dst->Width(), 3);
  ResampleBitmap32(src.get(), dst.get(), 10, 10, 6);  // same size: a copy
  ASSERT_EQ(dst->Width(), 10);
  EXPECT_EQ(Px(dst.get(), 7, 4), Px(src.get(), 7, 4));
}

TEST(SkinResample, FiltersPlaceSourcePixels) {
  // Box filter at scale 1 (growing): each target pixel takes exactly one source pixel, centre i * 4 / 8.
  auto src = CodedBitmap(4, 4);
  auto dst = NewBitmap32(1, 1);
  ResampleBitmap32(src.get(), dst.get(), 8, 8, 0);
  ASSERT_EQ(dst->Width(), 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Px(dst.get(), x, y), Px(src.get(), x / 2, y / 2)) << x << "," << y;

  // Triangle filter 2 x 2 -> 4 x 4: the top-left corner keeps the source's corner colour.
  auto two = FilledBitmap(2, 2, 0xFF000000);
  SetPixel32(two.get(), 0, 0, 0xFF804020);
  auto out = NewBitmap32(1, 1);
  ResampleBitmap32(two.get(), out.get(), 4, 4, 1);
  EXPECT_EQ(Px(out.get(), 0, 0), 0xFF804020u);
  // Halfway between: centre 0.5, weights 0.5 and 0.5.
  EXPECT_EQ(Px(out.get(), 1, 0), 0xFF402010u);

  // Shrinking by 2 with the box filter averages pairs (scale 1/2, two taps of weight 0.5 each).
  TContributorList list;
  BuildContributors(list, 2, 4, 4, 0);
  ASSERT_EQ(list.First.size(), 3u);
  for (size_t k = 0; k < list.Pairs.size(); ++k) EXPECT_EQ(list.Pairs[k].Weight, 32768);
  FreeContributors(list);
  EXPECT_TRUE(list.Pairs.empty());
}

namespace {

// The two passes as the public contributor routines run them, one pixel at a time.
std::unique_ptr<TBitmap> ReferenceResample(TBitmap* src, int w, int h, uint8_t filter) {
  auto mid = NewBitmap32(w, src->Height());
  TContributorList list;
  BuildContributors(list, w, src->Width(), 4, filter);
  for (int y = 0; y < src->Height(); ++y)
    ApplyContributors(4, 4, static_cast<uint8_t*>(mid->ScanLine(y)), static_cast<uint8_t*>(src->ScanLine(y)), list, w);
  auto out = NewBitmap32(w, h);
  auto* m0 = static_cast<uint8_t*>(mid->ScanLine(0));
  auto* o0 = static_cast<uint8_t*>(out->ScanLine(0));
  const int midStep = int(static_cast<uint8_t*>(mid->ScanLine(1)) - m0);
  const int outStep = int(static_cast<uint8_t*>(out->ScanLine(1)) - o0);
  BuildContributors(list, h, src->Height(), midStep, filter);
  for (int x = 0; x < w; ++x) ApplyContributors(midStep, outStep, o0 + 4 * x, m0 + 4 * x, list, h);
  return out;
}

}  // namespace

TEST(SkinResample, RowKernelsMatchThePerPixelPasses) {
  // Noise with every byte value, grown, shrunk, mixed and shrunk far (wide lists), every filter.
  struct Case {
    int sw, sh, w, h;
  } cases[] = {{7, 5, 23, 17}, {40, 31, 9, 13}, {13, 40, 38, 7}, {300, 3, 4, 2}, {2, 2, 3, 65}};
  uint32_t seed = 7;
  for (const Case& c : cases) {
    auto src = NewBitmap32(c.sw, c.sh);
    for (int y = 0; y < c.sh; ++y)
      for (int x = 0; x < c.sw; ++x) SetPixel32(src.get(), x, y, seed = seed * 1664525 + 1013904223);
    for (uint8_t f = 0; f < kResampleFilterCount; ++f) {
      auto want = ReferenceResample(src.get(), c.w, c.h, f);
      auto got = NewBitmap32(1, 1);
      ResampleBitmap32(src.get(), got.get(), c.w, c.h, f);
      ASSERT_EQ(got->Width(), c.w);
      ASSERT_EQ(got->Height(), c.h);
      int diffs = 0;
      for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) diffs += Px(got.get(), x, y) != Px(want.get(), x, y);
      EXPECT_EQ(diffs, 0) << c.sw << "x" << c.sh << " -> " << c.w << "x" << c.h << " filter " << int(f);
    }
  }
}

TEST(SkinRotate, QuarterTurnsTable) {
  auto src = CodedBitmap(3, 2);
  struct Case {
    int angle, w, h;
    int x, y;  // where source (0, 0) lands
  } cases[] = {{90, 2, 3, 1, 0}, {180, 3, 2, 2, 1}, {270, 2, 3, 0, 2}, {45, 3, 2, 0, 0}};
  for (const Case& c : cases) {
    auto r = RotateBitmap32(src.get(), c.angle);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Width(), c.w) << c.angle;
    EXPECT_EQ(r->Height(), c.h) << c.angle;
    EXPECT_EQ(Px(r.get(), c.x, c.y), Px(src.get(), 0, 0)) << c.angle;
  }
  auto r90 = RotateBitmap32(src.get(), 90);
  EXPECT_EQ(Px(r90.get(), 0, 2), Px(src.get(), 2, 1));  // (x, y) -> (newWidth - 1 - y, x)
  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(2, 2);
  EXPECT_FALSE(RotateBitmap32(&eight, 90));
  EXPECT_FALSE(RotateBitmap32(nullptr, 90));
}

TEST(SkinRotate, DrawRotatedTurnsByAngleAndAQuarter) {
  auto src = CodedBitmap(4, 4);
  struct Case {
    int angle;
    int x, y;  // where source (0, 0) lands in the 4 x 4 target centred at (2, 2)
  } cases[] = {{270, 0, 0}, {0, 3, 0}, {90, 3, 3}, {180, 0, 3}};
  for (const Case& c : cases) {
    auto dst = FilledBitmap(4, 4, 0);
    DrawRotated(dst->Canvas()->Handle(), src.get(), TPoint(2, 2), c.angle);
    EXPECT_EQ(Px(dst.get(), c.x, c.y), Px(src.get(), 0, 0)) << c.angle;
    EXPECT_EQ(Px(dst.get(), 3 - c.x, 3 - c.y), Px(src.get(), 3, 3)) << c.angle;
  }
  TPoint p(7, 7);
  const TPoint pts[1] = {TPoint(1, 2)};
  TPrlgram(pts, 0).GetPoint(4, p);
  EXPECT_EQ(p, TPoint(7, 7));
}

TEST(SkinFrames, NinePartsCopyCornersEdgesAndCentre) {
  // A 6 x 6 source with 2-pixel borders into a 10 x 9 target: corners as they are, edges and centre tiled.
  auto src = CodedBitmap(6, 6);
  auto dst = FilledBitmap(10, 9, 0);
  const TRect border(2, 2, 2, 2);
  CopyBitmapNineParts(dst.get(), src.get(), TRect(0, 0, 10, 9), TRect(0, 0, 6, 6), border, border, TRect(0, 0, 0, 0),
                      false, true);
  struct Probe {
    int tx, ty, sx, sy;
  } probes[] = {{0, 0, 0, 0}, {9, 0, 5, 0}, {0, 8, 0, 5}, {9, 8, 5, 5},  // corners
                {2, 0, 2, 0}, {6, 1, 2, 1}, {7, 0, 3, 0},                 // top edge tiles of width 2
                {0, 4, 0, 2}, {1, 6, 1, 2},                               // left edge tiles of height 2
                {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 5, 2, 3}, {7, 6, 3, 2}};  // centre tiles of 2 x 2
  for (const Probe& p : probes) EXPECT_EQ(Px(dst.get(), p.tx, p.ty), Px(src.get(), p.sx, p.sy)) << p.tx << "," << p.ty;

  // Inner narrower than Outer: the corner is L-shaped and the rest stays for the edges.
  auto l = FilledBitmap(10, 9, 0);
  CopyBitmapNineParts(l.get(), src.get(), TRect(0, 0, 10, 9), TRect(0, 0, 6, 6), border, TRect(1, 1, 1, 1),
                      TRect(1, 1, 1, 1), false, false);
  EXPECT_EQ(Px(l.get(), 1, 0), Px(src.get(), 1, 0));  // top row of the corner: Outer.Left wide
  EXPECT_EQ(Px(l.get(), 0, 1), Px(src.get(), 0, 1));  // the piece below it: Inner.Left wide
  EXPECT_EQ(Px(l.get(), 1, 1), 0u);
  EXPECT_EQ(Px(l.get(), 5, 5), 0u);  // no centre without FillCentre
}

TEST(SkinFrames, RegionFromBitmapMembership) {
  auto b = FilledBitmap(5, 3, 0);
  for (int x : {1, 2, 4}) SetPixel32(b.get(), x, 1, 0x00FF00FF);
  SetPixel32(b.get(), 3, 2, 0xFFFF00FF);  // the alpha byte counts: not a key pixel
  HRGN rgn = RegionFromBitmap(b.get(), clFuchsia);
  ASSERT_TRUE(rgn);
  const char* rows[3] = {"#####", "#..#.", "#####"};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PtInRegion(rgn, x, y) != 0, rows[y][x] == '#') << x << "," << y;
  EXPECT_FALSE(PtInRegion(rgn, 5, 0));
  DeleteObject(rgn);
  auto none = FilledBitmap(3, 3, 0);
  HRGN full = RegionFromBitmap(none.get(), clFuchsia);
  RECT box;
  EXPECT_EQ(GetRgnBox(full, &box), SIMPLEREGION);
  EXPECT_EQ(TRect(box), TRect(0, 0, 3, 3));
  DeleteObject(full);
}
