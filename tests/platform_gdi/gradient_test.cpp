#include <gtest/gtest.h>

#include "GdiTestUtil.h"

TEST(GdiGradientFill, TrianglesAndRectangles) {
  Surface s(8, 8);
  s.Fill(0);
  // Two triangles covering the square: red top-left, blue bottom-right, the alpha from the vertices.
  TRIVERTEX v[4] = {{0, 0, 0xFF00, 0, 0, 0xFF00}, {8, 0, 0xFF00, 0, 0, 0xFF00}, {0, 8, 0, 0, 0xFF00, 0xFF00},
                    {8, 8, 0, 0, 0xFF00, 0xFF00}};
  GRADIENT_TRIANGLE t[2] = {{0, 1, 2}, {1, 3, 2}};
  ASSERT_TRUE(GradientFill(s.dc, v, 4, t, 2, GRADIENT_FILL_TRIANGLE));
  // Pixel centres (0.5, 0.5) and (7.5, 7.5) lie 1/16 of the way toward the other colour.
  EXPECT_EQ(s.At(0, 0), 0xFFEF000Fu);
  EXPECT_EQ(s.At(7, 7), 0xFF0F00EFu);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(s.At(x, y) >> 24, 0xFFu) << x << "," << y;  // no gap on the diagonal

  // Horizontal rectangle gradient, clipped by the DC.
  Surface r(10, 1);
  r.Fill(0x12345678);
  IntersectClipRect(r.dc, 0, 0, 9, 1);
  TRIVERTEX rv[2] = {{0, 0, 0, 0, 0, 0xFF00}, {10, 1, 0xFF00, 0, 0, 0xFF00}};
  GRADIENT_RECT gr{0, 1};
  ASSERT_TRUE(GradientFill(r.dc, rv, 2, &gr, 1, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(r.At(0, 0), 0xFF000000u);
  EXPECT_EQ(r.At(5, 0), 0xFF7F8000u & 0xFFFF0000u);
  EXPECT_EQ(r.At(9, 0), 0x12345678u);
  GRADIENT_TRIANGLE bad{0, 1, 7};
  EXPECT_FALSE(GradientFill(r.dc, rv, 2, &bad, 1, GRADIENT_FILL_TRIANGLE));
}

TEST(GdiPlgBlt, QuarterTurnsPlaceEachPixel) {
  // A 3 x 2 source whose pixels hold their coordinates, turned a quarter clockwise into 2 x 3:
  // the source's upper-left corner goes to the destination's upper-right.
  Surface src(3, 2), dst(2, 3);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) src.At(x, y) = uint32_t(y << 8 | x);
  dst.Fill(0xFFFFFFFF);
  const POINT pts[3] = {{2, 0}, {2, 3}, {0, 0}};
  ASSERT_TRUE(PlgBlt(dst.dc, pts, src.dc, 0, 0, 3, 2, nullptr, 0, 0));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(dst.At(x, y), uint32_t((1 - x) << 8 | y)) << x << "," << y;
  // Half of it outside the destination: clipped, no fault.
  const POINT off[3] = {{-1, 1}, {2, 1}, {-1, 3}};
  EXPECT_TRUE(PlgBlt(dst.dc, off, src.dc, 0, 0, 3, 2, nullptr, 0, 0));
  EXPECT_EQ(dst.At(0, 1), 0x001u);
  EXPECT_EQ(dst.At(1, 2), 0x102u);
}
