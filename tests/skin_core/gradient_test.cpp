#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "platform/rtl/SysUtils.h"
#include "skin/core/acgpUtils.h"
#include "skin/core/sGradient.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"

TEST(SkinGradient, ParsesBothLayouts) {
  struct Case {
    const char* text;
    size_t count;
    TColor c0, clast;
    int mode0;
    int plast;  // Percent of the last point
    int alast;  // alpha of the last point
  } cases[] = {
      {"255;0;0;0;0;16711680;0;100;0;0", 2, 0xFF, 0xFF0000, 0, 100, 255},  // old layout: A forced to 255
      {"255;0;0;16711680;100;0;B", 2, 0xFF, 0xFF0000, 0, 100, 0},         // new layout
      {"255;0;16;16711680;100;0;B", 2, 0xFF, 0xFF0000, 16 | 32, 100, 0},  // a smooth point marks point 0
      {"255;0;0;16;0;0;0;0;0;0", 2, 0xFF, 0, 0, 100, 255},               // old layout drops the smooth bit
      {"255;0;0;2;0;65280;0;0;0;0", 5, 0xFF, 0xFF00, 2, 100, 255},        // four corners padded to 5
      {"1;2;3", 0, 0, 0, 0, 0, 0},                                        // too short
      {"255;0;0;16711680;100;0;@", 0, 0, 0, 0, 0, 0},                     // count letter gives no points
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TsGradArray d;
    PrepareGradArray(c.text, d);
    ASSERT_EQ(d.size(), c.count);
    if (!c.count) continue;
    EXPECT_EQ(d[0].Color.C & 0xFFFFFF, c.c0);
    EXPECT_EQ(d.back().Color.C & 0xFFFFFF, c.clast);
    EXPECT_EQ(d[0].Mode, c.mode0);
    EXPECT_EQ(d[0].Percent, 0);
    EXPECT_EQ(d.back().Percent, c.plast);
    EXPECT_EQ(d.back().Color.A(), c.alast);
    EXPECT_EQ(d.back().Index, c.count - 1);
  }
  TsGradArray d;
  PrepareGradArray("255;150;0;0;-5;0;255;0;0;C", d);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].Percent, 100);
  EXPECT_EQ(d[1].Percent, 0);
  EXPECT_THROW(PrepareGradArray("255;x;0;0;0;0;B", d), EConvertError);
}

TEST(SkinGradient, VerticalSegmentsShareTheirBoundaryRow) {
  TsGradArray d;
  PrepareGradArray("$000000;0;0;$0000C8;50;0;$000000;100;0;C", d);  // black, red 200 at 50 %, black
  auto b = FilledBitmap(1, 101, 0);
  FillGradient(b.get(), TRect(0, 0, 1, 101), d);
  EXPECT_EQ(Px(b.get(), 0, 0), 0xFF000000u);
  EXPECT_EQ(Px(b.get(), 0, 25), 0xFF640000u);  // halfway up the first segment
  EXPECT_EQ(Px(b.get(), 0, 50), 0xFFC80000u);  // both segments end and start at row 50
  EXPECT_EQ(Px(b.get(), 0, 100), 0xFF000000u);

  // A rectangle taller than the bitmap stops at its last row, which takes the end colour.
  TsGradArray two;
  PrepareGradArray("$000000;0;0;$FFFFFF;100;0;B", two);
  auto s = FilledBitmap(2, 10, 0x12345678);
  FillGradient(s.get(), TRect(0, 2, 1, 50), two);
  EXPECT_EQ(Px(s.get(), 0, 2), 0xFF000000u);
  EXPECT_EQ(Px(s.get(), 0, 9), 0xFFFFFFFFu);
  EXPECT_EQ(Px(s.get(), 0, 1), 0x12345678u);
  EXPECT_EQ(Px(s.get(), 1, 5), 0x12345678u);
}

TEST(SkinGradient, HorizontalStaysInsideItsRectangle) {
  TsGradArray d;
  PrepareGradArray("$000000;0;1;$FF0000;100;1;B", d);  // type 1: black to blue
  auto b = FilledBitmap(12, 3, 0x11111111);
  FillGradient(b.get(), TRect(1, 0, 11, 2), d);
  EXPECT_EQ(Px(b.get(), 1, 0), 0xFF000000u);
  EXPECT_EQ(Px(b.get(), 10, 1), 0xFF0000FFu);  // the last column inside takes the end colour
  EXPECT_EQ(Px(b.get(), 11, 0), 0x11111111u);  // and the gradient paints nothing beyond it
  EXPECT_EQ(Px(b.get(), 5, 2), 0x11111111u);
  EXPECT_EQ(Px(b.get(), 0, 0), 0x11111111u);
}

TEST(SkinGradient, FourCornersWithAndWithoutTheDrawingLibraries) {
  TsGradArray d;
  // Corners: top-left red, centre green, top-right, bottom-right, bottom-left blue; all opaque, as
  // the smooth library reads the top byte as the alpha.
  PrepareGradArray("$FF0000FF;0;2;$FF00FF00;0;0;$FFFF0000;0;0;$FFFF0000;0;0;$FFFF0000;100;0;E", d);
  auto b = FilledBitmap(9, 9, 0);
  FillGradient(b.get(), TRect(0, 0, 9, 9), d);
  EXPECT_GT(Px(b.get(), 0, 0) >> 16 & 0xFF, 0xC0u);  // red near the top-left vertex
  EXPECT_GT(Px(b.get(), 4, 4) >> 8 & 0xFF, 0xC0u);   // green at the centre
  EXPECT_EQ(Px(b.get(), 4, 4) >> 24, 0xFFu);
  GradientFillBound = false;
  auto none = FilledBitmap(9, 9, 0);
  FillGradient(none.get(), TRect(0, 0, 9, 9), d);
  GradientFillBound = true;
  EXPECT_EQ(Px(none.get(), 4, 4), 0u);

  d[0].Mode |= kGradAnySmooth;  // through the smooth library: a path gradient
  auto s = FilledBitmap(9, 9, 0);
  FillGradient(s.get(), TRect(0, 0, 9, 9), d);
  EXPECT_EQ(Px(s.get(), 4, 4) & 0xFFFFFF, 0x00FF00u);  // the centre colour at the centre
  GdiPlusLoaded = false;
  auto m = FilledBitmap(9, 9, 0);
  FillGradient(m.get(), TRect(0, 0, 9, 9), d);
  GdiPlusLoaded = true;
  EXPECT_EQ(Px(m.get(), 4, 4), 0u);  // the library missing: nothing painted
}

TEST(SkinGradient, TexturedGradients) {
  TsGradArray d;
  PrepareGradArray("$000000;0;1;$000000;100;1;B", d);  // horizontal, black
  // A one-row texture fills every row of the rectangle.
  auto tex = FilledBitmap(3, 1, 0xFFFFFFFF);
  auto b = FilledBitmap(6, 7, 0x00123456);
  FillGradientTextured(b.get(), TRect(0, 0, 6, 7), d, 200, 128, TRect(), tex.get());
  for (int y = 0; y < 7; ++y) EXPECT_EQ(Px(b.get(), 2, y), 0xC87F7F7Fu) << y;  // (128 * 255) shr 8, alpha 200

  // Vertical with a two-row texture: rows alternate as the texture tiles from the bitmap's origin.
  PrepareGradArray("$000000;0;0;$000000;100;0;B", d);
  auto t2 = FilledBitmap(2, 3, 0xFF000000);
  SetPixel32(t2.get(), 0, 1, 0xFFFFFFFF);
  SetPixel32(t2.get(), 1, 1, 0xFFFFFFFF);
  auto v = FilledBitmap(2, 4, 0);
  FillGradientTextured(v.get(), TRect(0, 0, 2, 4), d, 255, 255, TRect(0, 0, 2, 2), t2.get());
  EXPECT_EQ(Px(v.get(), 0, 0), 0xFF000000u);
  EXPECT_EQ(Px(v.get(), 0, 1), 0xFFFEFEFEu);
  EXPECT_EQ(Px(v.get(), 1, 2), 0xFF000000u);
}

TEST(SkinGradient, SmallArrows) {
  // Down into 20 x 20: rows 8..11 are 7, 5, 3 and 1 pixels wide from columns 6, 7, 8, 9.
  auto b = FilledBitmap(20, 20, 0);
  PaintSmallArrow(b.get(), TColor(0xFF0000FF), TRect(0, 0, 20, 20), 3);
  const int widths[4] = {7, 5, 3, 1};
  for (int i = 0; i < 4; ++i)
    for (int x = 0; x < 20; ++x)
      EXPECT_EQ(Px(b.get(), x, 8 + i) != 0, x >= 6 + i && x < 6 + i + widths[i]) << x << "," << 8 + i;
  EXPECT_EQ(Px(b.get(), 6, 8), 0xFFFF0000u);
  EXPECT_EQ(Px(b.get(), 9, 7), 0u);
  // Left: rows of 0, 1, 2, 3, 4, 3, 2, 1 pixels.
  auto l = FilledBitmap(20, 20, 0);
  PaintSmallArrow(l.get(), clWhite, TRect(0, 0, 20, 20), 0);
  const int left[8] = {0, 1, 2, 3, 4, 3, 2, 1};
  for (int i = 0; i < 8; ++i) {
    int n = 0;
    for (int x = 0; x < 20; ++x) n += Px(l.get(), x, 6 + i) != 0;
    EXPECT_EQ(n, left[i]) << i;
  }
  // A box reaching the bitmap's edge draws nothing.
  auto e = FilledBitmap(10, 10, 0);
  PaintSmallArrow(e.get(), clWhite, TRect(3, 6, 10, 10), 3);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(Px(e.get(), x, y), 0u);
}

TEST(SkinSmooth, LinesAndLinearGradients) {
  // A horizontal line 2 wide along y = 5 covers rows 4 and 5 fully between its end points.
  auto b = FilledBitmap(12, 10, 0xFF000000);
  HDC dc = b->Canvas()->Handle();
  DrawLineSmooth(dc, clWhite, 2, 5, 10, 5, 2);
  EXPECT_EQ(Px(b.get(), 5, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Px(b.get(), 5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(Px(b.get(), 5, 3), 0xFF000000u);
  EXPECT_EQ(Px(b.get(), 11, 5), 0xFF000000u);
  // Half a pixel wide: half coverage.
  DrawLineSmooth(dc, clWhite, 0, 8.5f, 12, 8.5f, 0.5f);
  EXPECT_EQ(Px(b.get(), 6, 8), 0xFF808080u);
  // The clip region holds.
  IntersectClipRect(dc, 0, 0, 6, 10);
  DrawLineSmooth(dc, clRed, 0, 1, 12, 1, 2);
  EXPECT_EQ(Px(b.get(), 3, 1), 0xFFFF0000u);
  EXPECT_EQ(Px(b.get(), 8, 1), 0xFF000000u);
  SelectClipRgn(dc, nullptr);

  auto g = FilledBitmap(10, 2, 0);
  FillHorzGradientSmooth(g->Canvas()->Handle(), TColor(0xFF000000), TColor(0xFFFFFFFF), 0, 0, 10, 2);
  EXPECT_EQ(Px(g.get(), 0, 0), 0xFF0D0D0Du);  // pixel centre 0.5 of 10: 255 / 20
  EXPECT_EQ(Px(g.get(), 9, 1), 0xFFF2F2F2u);

  GdiPlusLoaded = false;
  auto m = FilledBitmap(4, 4, 0);
  DrawLineSmooth(m->Canvas()->Handle(), clWhite, 0, 2, 4, 2, 2);
  FillVertGradientSmooth(m->Canvas()->Handle(), clWhite, clWhite, 0, 0, 4, 4);
  GdiPlusLoaded = true;
  EXPECT_EQ(Px(m.get(), 2, 2), 0u);
}

TEST(SkinSmooth, StretchKeepsColoursOfTransparentPixels) {
  auto src = FilledBitmap(2, 2, 0x00FF8040);  // colour with alpha 0
  auto dst = NewBitmap32(4, 4);
  StretchBitmapSmooth(dst.get(), src.get(), 0, 0, 2, 2);
  // Carried as alpha 127, premultiplied and decoded: c * 127 / 255 * 256 div 127; alpha 2 * 127 - 254 = 0.
  EXPECT_EQ(Px(dst.get(), 1, 2) >> 24, 0u);
  EXPECT_NEAR(double(Px(dst.get(), 1, 2) >> 16 & 0xFF), 255, 1);
  EXPECT_NEAR(double(Px(dst.get(), 1, 2) & 0xFF), 0x40, 1);
  auto opaque = FilledBitmap(2, 2, 0xFF204060);
  StretchBitmapSmooth(dst.get(), opaque.get(), 0, 0, 2, 2);
  // Opaque comes back as 2 * 254 - 254: the carried alpha loses its lowest bit.
  EXPECT_EQ(Px(dst.get(), 3, 3) >> 24, 0xFEu);
}

TEST(SkinSmooth, ArrowsPointTheirWay) {
  // Solid style 0 with the default size: a 2 * 4 wide, 4 high shape filled in the colour.
  auto shape = MakeArrowShape(4, 1, arsSolid1, 0xFFFFFFFF, clWhite, 20);
  ASSERT_EQ(shape->Width(), 8);
  ASSERT_EQ(shape->Height(), 4);
  EXPECT_EQ(Px(shape.get(), 4, 0) >> 24, 0xFFu);  // the wide top row
  EXPECT_EQ(Px(shape.get(), 0, 3) >> 24, 0u);     // the corners beside the tip stay clear

  // Down and up arrows are mirror images; left and right are turned copies.
  auto down = FilledBitmap(20, 20, 0), up = FilledBitmap(20, 20, 0);
  PaintArrow(down.get(), clWhite, clNone, TRect(0, 0, 20, 20), 3, 1, 0, 0, arsSolid1);
  PaintArrow(up.get(), clWhite, clNone, TRect(0, 0, 20, 20), 1, 1, 0, 0, arsSolid1);
  int inked = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      EXPECT_EQ(Px(down.get(), x, y) >> 24, Px(up.get(), x, 19 - y) >> 24)
          << x << "," << y;
      inked += Px(down.get(), x, y) >> 24 != 0;
    }
  EXPECT_GT(inked, 8);
}

TEST(SkinSmooth, SoftHighlightAndBlur) {
  // The outer ring keeps the picture, the centre takes the colour down to the transparency level.
  auto b = FilledBitmap(20, 20, 0xFF000000);
  PaintSoftRoundRect(b.get(), TRect(0, 0, 20, 20), 0, 0, 3, clWhite);
  EXPECT_EQ(Px(b.get(), 0, 0), 0xFF000000u);
  EXPECT_EQ(Px(b.get(), 10, 10), 0xFF000000u | 0xFFFFFF);  // innermost level t = 0: the colour
  // Blur: a single bright pixel spreads and dims.
  auto p = FilledBitmap(16, 16, 0xFF000000);
  SetPixel32(p.get(), 8, 8, 0xFFFFFFFF);
  BlurByScaling(p.get());
  EXPECT_LT(Px(p.get(), 8, 8) & 0xFF, 0xFFu);
}
