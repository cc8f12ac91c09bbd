#include <gtest/gtest.h>

#include <vector>

#include "tests/platform_gdi/GdiTestUtil.h"

namespace {

// Distinct value per source pixel, with an alpha byte so that copies show it.
uint32_t Tag(int x, int y) { return 0x80000000u | uint32_t(y * 16 + x + 1); }

TEST(BitBlt, CopiesOnlyWhatIsInsideSourceDestinationAndClip) {
  struct Case {
    const char* name;
    int x, y, w, h, sx, sy;
    POINT origin;
    RECT clip;  // logical; empty = none
  };
  const Case cases[] = {
      {"whole", 1, 1, 4, 4, 0, 0, {0, 0}, {}},
      {"past destination edge", 4, 4, 4, 4, 0, 0, {0, 0}, {}},
      {"negative destination", -2, -1, 4, 4, 0, 0, {0, 0}, {}},
      {"source outside", 0, 0, 4, 4, -1, 2, {0, 0}, {}},
      {"clip rectangle", 0, 0, 4, 4, 0, 0, {0, 0}, {1, 1, 3, 5}},
      {"viewport origin", 0, 0, 4, 4, 0, 0, {2, 1}, {}},
      {"origin and clip", 0, 0, 4, 4, 0, 0, {1, 1}, {0, 0, 2, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Surface src(4, 4), dst(6, 6);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) src.At(x, y) = Tag(x, y);
    SetViewportOrgEx(dst.dc, c.origin.x, c.origin.y, nullptr);
    if (!IsRectEmpty(&c.clip)) IntersectClipRect(dst.dc, c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
    ASSERT_TRUE(BitBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.sx, c.sy, SRCCOPY));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) {
        // Model: logical destination point, then its source point.
        const int lx = x - c.origin.x, ly = y - c.origin.y;
        const int px = lx - c.x + c.sx, py = ly - c.y + c.sy;
        const bool inDst = lx >= c.x && lx < c.x + c.w && ly >= c.y && ly < c.y + c.h;
        const bool inSrc = px >= 0 && px < 4 && py >= 0 && py < 4;
        const bool inClip = IsRectEmpty(&c.clip) || (lx >= c.clip.left && lx < c.clip.right &&
                                                     ly >= c.clip.top && ly < c.clip.bottom);
        const uint32_t expected = (inDst && inSrc && inClip) ? Tag(px, py) : 0;
        ASSERT_EQ(dst.At(x, y), expected) << "at " << x << "," << y;
      }
  }
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap) {
  Surface s(5, 1);
  for (int x = 0; x < 5; ++x) s.At(x, 0) = Tag(x, 0);
  ASSERT_TRUE(BitBlt(s.dc, 1, 0, 4, 1, s.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(s.At(0, 0), Tag(0, 0));
  for (int x = 1; x < 5; ++x) EXPECT_EQ(s.At(x, 0), Tag(x - 1, 0));
}

TEST(BitBlt, RasterOperationsAndConversionBetweenDepths) {
  Surface a(1, 1), b(1, 1);
  a.At(0, 0) = 0x00F0F00F;
  b.At(0, 0) = 0x00FF00FF;
  ASSERT_TRUE(BitBlt(b.dc, 0, 0, 1, 1, a.dc, 0, 0, SRCAND));
  EXPECT_EQ(b.At(0, 0), 0x00F0000Fu);
  ASSERT_TRUE(BitBlt(b.dc, 0, 0, 1, 1, a.dc, 0, 0, SRCINVERT));
  EXPECT_EQ(b.At(0, 0), 0x0000F000u);
  EXPECT_FALSE(BitBlt(b.dc, 0, 0, 1, 1, a.dc, 0, 0, 0x00123456));

  // 32 -> 16 (5-5-5), 24 or 8 (grey ramp) -> 32.
  for (int depth : {16, 24, 8}) {
    SCOPED_TRACE(depth);
    Surface mid(1, 1, depth), back(1, 1);
    a.At(0, 0) = 0x00C08040;
    ASSERT_TRUE(BitBlt(mid.dc, 0, 0, 1, 1, a.dc, 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(back.dc, 0, 0, 1, 1, mid.dc, 0, 0, SRCCOPY));
    const uint32_t expected = depth == 24 ? 0x00C08040u : depth == 16 ? 0x00C68442u : 0x00808080u;
    EXPECT_EQ(back.At(0, 0), expected);  // 8 bit: nearest grey of the ramp (distance ties to the first)
  }
}

TEST(StretchBlt, NearestAndHalftone) {
  Surface src(2, 2), dst(4, 4);
  src.At(0, 0) = 0x00000010;
  src.At(1, 0) = 0x00000020;
  src.At(0, 1) = 0x00000030;
  src.At(1, 1) = 0x00000040;
  ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.At(x, y), src.At(x / 2, y / 2));

  // Mirrored by a negative width.
  ASSERT_TRUE(StretchBlt(dst.dc, 3, 0, -4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(dst.At(0, 0), 0x00000020u);
  EXPECT_EQ(dst.At(3, 3), 0x00000030u);

  // Halftone shrink averages the covered pixels (box filter).
  Surface row(4, 1), half(2, 1);
  row.At(0, 0) = 0xFF000000;
  row.At(1, 0) = 0xFFFFFFFF;
  row.At(2, 0) = 0x00646464;
  row.At(3, 0) = 0x00C8C8C8;
  SetStretchBltMode(half.dc, HALFTONE);
  ASSERT_TRUE(StretchBlt(half.dc, 0, 0, 2, 1, row.dc, 0, 0, 4, 1, SRCCOPY));
  EXPECT_EQ(half.At(0, 0), 0xFF808080u);
  EXPECT_EQ(half.At(1, 0), 0x00969696u);
  // Mirrored, and clipped to its right pixel.
  half.Fill(0x12345678);
  IntersectClipRect(half.dc, 1, 0, 2, 1);
  ASSERT_TRUE(StretchBlt(half.dc, 1, 0, -2, 1, row.dc, 0, 0, 4, 1, SRCCOPY));
  EXPECT_EQ(half.At(0, 0), 0x12345678u);
  EXPECT_EQ(half.At(1, 0), 0xFF808080u);

  // Halftone growth interpolates between source centres.
  Surface two(2, 1), four(4, 1);
  two.At(0, 0) = 0x00000000;
  two.At(1, 0) = 0x00000080;
  SetStretchBltMode(four.dc, HALFTONE);
  ASSERT_TRUE(StretchBlt(four.dc, 0, 0, 4, 1, two.dc, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(four.At(0, 0), 0x00u);
  EXPECT_EQ(four.At(1, 0), 0x20u);
  EXPECT_EQ(four.At(2, 0), 0x60u);
  EXPECT_EQ(four.At(3, 0), 0x80u);
}

TEST(AlphaBlend, ChannelArithmetic) {
  struct Case {
    uint32_t src, dst;
    BYTE constant;
    bool perPixel;
    uint32_t expected;
  };
  const Case cases[] = {
      // Premultiplied source alpha: d = s + d * (255 - sa) / 255.
      {0x80404040, 0xFFC8C8C8, 255, true, 0xFFA4A4A4},
      {0x00000000, 0xFFC8C8C8, 255, true, 0xFFC8C8C8},
      {0xFF0A0A0A, 0xFFC8C8C8, 255, true, 0xFF0A0A0A},
      {0x00000000, 0x00000000, 255, true, 0x00000000},
      {0x80FFFFFF, 0xFFFFFFFF, 255, true, 0xFFFFFFFF},  // not premultiplied: clamped, not wrapped
      // Constant alpha only: d = s * k / 255 + d * (255 - k) / 255.
      {0x00FFFFFF, 0x00000000, 128, false, 0x00808080},
      {0x00FFFFFF, 0x00FFFFFF, 128, false, 0x00FFFFFF},
      {0xFF102030, 0x00000000, 0, false, 0x00000000},
      // Both: the source is scaled by k first, then blended by its scaled alpha.
      {0xC8646464, 0xFF323232, 128, true, 0xFF505050},
      {0xFF000000, 0x80FF0000, 255, true, 0xFF000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.src << " over " << c.dst << " k " << int(c.constant));
    Surface src(3, 2), dst(3, 2);
    src.Fill(c.src);
    dst.Fill(c.dst);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, c.constant, BYTE(c.perPixel ? AC_SRC_ALPHA : 0)};
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 3, 2, src.dc, 0, 0, 3, 2, bf));
    EXPECT_EQ(dst.At(0, 0), c.expected);
    EXPECT_EQ(dst.At(2, 1), c.expected);
  }
}

TEST(AlphaBlend, MixedRowsMatchTheFormula) {
  // Rows of different pixels, long enough for the four-at-a-time path and its tail.
  const int w = 11, h = 3;
  Surface src(w, h), dst(w, h);
  uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1664525 + 1013904223; };
  std::vector<uint32_t> before(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t r = next(), a = r >> 24;
      auto premul = [&](uint32_t c) { return (c & 255) * a / 255; };
      src.At(x, y) = (a << 24) | (premul(r >> 16) << 16) | (premul(r >> 8) << 8) | premul(r);
      dst.At(x, y) = before[size_t(y * w + x)] = next();
    }
  auto div = [](uint32_t v) { return (v + 127) / 255; };  // rounded to nearest (255 is odd: no ties)
  for (const BYTE k : {BYTE(255), BYTE(77)})
    for (const bool perPixel : {true, false}) {
      SCOPED_TRACE(testing::Message() << int(k) << (perPixel ? " per pixel" : " constant"));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) dst.At(x, y) = before[size_t(y * w + x)];
      ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, w, h, src.dc, 0, 0, w, h,
                             BLENDFUNCTION{AC_SRC_OVER, 0, k, BYTE(perPixel ? AC_SRC_ALPHA : 0)}));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const uint32_t sv = src.At(x, y), dv = before[size_t(y * w + x)];
          const uint32_t sa = div(((sv >> 24) & 255) * k);
          uint32_t expected = 0;
          for (int ch = 0; ch < 4; ++ch) {
            const uint32_t sc = div(((sv >> (8 * ch)) & 255) * k), dc = (dv >> (8 * ch)) & 255;
            expected |= std::min(255u, sc + div(dc * (255 - (perPixel ? sa : k)))) << (8 * ch);
          }
          ASSERT_EQ(dst.At(x, y), expected) << x << "," << y;
        }
    }
}

TEST(AlphaBlend, RefusesSourceOutsideBitmapAndHonoursClip) {
  Surface src(2, 2), dst(4, 4);
  src.Fill(0xFF0000FF);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, src.dc, 1, 0, 2, 2, bf));
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, src.dc, -1, 0, 2, 2, bf));
  IntersectClipRect(dst.dc, 1, 0, 4, 4);
  ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, bf));  // stretched 2x
  EXPECT_EQ(dst.At(0, 0), 0u);
  EXPECT_EQ(dst.At(1, 0), 0xFF0000FFu);
  EXPECT_EQ(dst.At(3, 3), 0xFF0000FFu);
}

TEST(Region, CombineModes) {
  // a = (0,0)-(4,4), b = (2,2)-(6,6)
  struct Case {
    int mode;
    int type;
    RECT box;
    int rects;
    bool at11, at33, at55;
  };
  const Case cases[] = {
      {RGN_AND, SIMPLEREGION, {2, 2, 4, 4}, 1, false, true, false},
      {RGN_OR, COMPLEXREGION, {0, 0, 6, 6}, 3, true, true, true},
      {RGN_XOR, COMPLEXREGION, {0, 0, 6, 6}, 4, true, false, true},
      {RGN_DIFF, COMPLEXREGION, {0, 0, 4, 4}, 2, true, false, false},
      {RGN_COPY, SIMPLEREGION, {0, 0, 4, 4}, 1, true, true, false},
  };
  HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateRectRgn(2, 2, 6, 6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(r, a, b, c.mode), c.type);
    RECT box;
    GetRgnBox(r, &box);
    EXPECT_TRUE(EqualRect(&box, &c.box));
    EXPECT_EQ(GetRegionRects(r, nullptr, 0), c.rects);
    EXPECT_EQ(bool(PtInRegion(r, 1, 1)), c.at11);
    EXPECT_EQ(bool(PtInRegion(r, 3, 3)), c.at33);
    EXPECT_EQ(bool(PtInRegion(r, 5, 5)), c.at55);
    DeleteObject(r);
  }
  // Taking the overlap back out of the union gives the same region as XOR.
  HRGN u = CreateRectRgn(0, 0, 0, 0), x = CreateRectRgn(0, 0, 0, 0), i = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(u, a, b, RGN_OR);
  CombineRgn(i, a, b, RGN_AND);
  CombineRgn(u, u, i, RGN_DIFF);
  CombineRgn(x, a, b, RGN_XOR);
  EXPECT_TRUE(EqualRgn(u, x));
  EXPECT_EQ(CombineRgn(u, u, u, RGN_DIFF), NULLREGION);
  for (HRGN r : {a, b, u, x, i}) EXPECT_TRUE(DeleteObject(r));
}

TEST(Region, ClipRegionWithHoleGuardsFills) {
  Surface s(6, 6);
  HRGN outer = CreateRectRgn(0, 0, 6, 6), hole = CreateRectRgn(2, 2, 4, 4);
  CombineRgn(outer, outer, hole, RGN_DIFF);
  EXPECT_EQ(SelectClipRgn(s.dc, outer), COMPLEXREGION);
  EXPECT_TRUE(DeleteObject(outer));  // the DC keeps its own copy
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 6, 6};
  s.Fill(0xFF123456);
  FillRect(s.dc, &all, red);
  EXPECT_EQ(s.At(0, 0), 0x00FF0000u);  // fills write alpha 0
  EXPECT_EQ(s.At(2, 2), 0xFF123456u);
  EXPECT_EQ(s.At(3, 3), 0xFF123456u);
  EXPECT_EQ(s.At(4, 4), 0x00FF0000u);
  RECT box;
  EXPECT_EQ(GetClipBox(s.dc, &box), COMPLEXREGION);
  EXPECT_FALSE(PtVisible(s.dc, 2, 3));
  SelectClipRgn(s.dc, nullptr);
  FillRect(s.dc, &all, red);
  EXPECT_EQ(s.At(3, 3), 0x00FF0000u);
  DeleteObject(hole);
  DeleteObject(red);
}

TEST(Shapes, OutlinesFillsAndEndPoints) {
  Surface s(10, 10);
  s.Fill(0);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ oldPen = SelectObject(s.dc, pen), oldBrush = SelectObject(s.dc, brush);
  Rectangle(s.dc, 1, 1, 5, 4);
  EXPECT_EQ(s.At(1, 1), 0x000000FFu);
  EXPECT_EQ(s.At(4, 3), 0x000000FFu);
  EXPECT_EQ(s.At(2, 2), 0x0000FF00u);
  EXPECT_EQ(s.At(5, 4), 0u);  // right and bottom excluded

  // Without a pen the fill is one pixel smaller.
  SelectObject(s.dc, GetStockObject(NULL_PEN));
  s.Fill(0);
  Rectangle(s.dc, 0, 0, 3, 3);
  EXPECT_EQ(s.At(1, 1), 0x0000FF00u);
  EXPECT_EQ(s.At(2, 2), 0u);

  SelectObject(s.dc, pen);
  s.Fill(0);
  MoveToEx(s.dc, 0, 9, nullptr);
  LineTo(s.dc, 9, 0);
  EXPECT_EQ(s.At(0, 9), 0x000000FFu);
  EXPECT_EQ(s.At(8, 1), 0x000000FFu);
  EXPECT_EQ(s.At(9, 0), 0u);
  POINT pos;
  GetCurrentPositionEx(s.dc, &pos);
  EXPECT_EQ(pos.x, 9);

  // An ellipse stays inside its bounds and is symmetric.
  s.Fill(0);
  Ellipse(s.dc, 0, 0, 10, 8);
  int painted = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      if (s.At(x, y) != 0) ++painted;
      if (y < 8) {
        EXPECT_EQ(s.At(x, y), s.At(9 - x, y)) << x << "," << y;
        EXPECT_EQ(s.At(x, y), s.At(x, 7 - y)) << x << "," << y;
      }
    }
  EXPECT_EQ(s.At(0, 4), 0x000000FFu);
  EXPECT_EQ(s.At(5, 4), 0x0000FF00u);
  EXPECT_EQ(s.At(0, 0), 0u);
  EXPECT_EQ(s.At(0, 9), 0u);
  EXPECT_GT(painted, 50);

  // A filled triangle: a pixel is inside when its centre is.
  SelectObject(s.dc, GetStockObject(NULL_PEN));
  s.Fill(0);
  const POINT tri[] = {{0, 0}, {8, 0}, {0, 8}};
  Polygon(s.dc, tri, 3);
  int inside = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) inside += s.At(x, y) != 0;
  EXPECT_EQ(inside, 28);  // centres with x + y < 7

  SelectObject(s.dc, oldPen);
  SelectObject(s.dc, oldBrush);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
}

TEST(Shapes, HugeCoordinatesCostOnlyTheVisiblePart) {
  Surface s(8, 8), src(4, 4);
  src.Fill(0x00FFFFFF);
  const int big = 1000000000;
  EXPECT_TRUE(Rectangle(s.dc, -big, -big, big, big));
  EXPECT_EQ(s.At(4, 4), 0x00FFFFFFu);  // the stock white brush
  EXPECT_TRUE(Ellipse(s.dc, -big, -big, big, big));
  EXPECT_TRUE(PatBlt(s.dc, 0, 0, INT32_MAX, INT32_MAX, BLACKNESS));
  EXPECT_EQ(s.At(7, 7), 0u);
  SetStretchBltMode(s.dc, HALFTONE);
  EXPECT_TRUE(StretchBlt(s.dc, -big, -big, 2 * big, 2 * big, src.dc, 0, 0, 4, 4, SRCCOPY));
  EXPECT_EQ(s.At(3, 3), 0x00FFFFFFu);
  const POINT tri[] = {{-big, -big}, {big, -big}, {0, big}};
  EXPECT_TRUE(Polygon(s.dc, tri, 3));
}

TEST(Objects, HandlesSelectionAndStockObjects) {
  Surface s(2, 2);
  HBRUSH brush = CreateSolidBrush(0);
  SelectObject(s.dc, brush);
  EXPECT_FALSE(DeleteObject(brush));  // still selected
  EXPECT_FALSE(DeleteObject(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(GetObjectType(brush), OBJ_BRUSH);
  SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_FALSE(DeleteObject(brush));

  // A bitmap may be selected into several DCs; it cannot be deleted until all let it go.
  HDC other = CreateCompatibleDC(nullptr);
  HGDIOBJ first = SelectObject(other, s.bmp);
  EXPECT_NE(first, nullptr);
  SetPixel(other, 1, 1, RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(s.dc, 1, 1), RGB(9, 9, 9));
  EXPECT_FALSE(DeleteObject(s.bmp));
  SelectObject(other, first);
  DeleteDC(other);

  DIBSECTION ds;
  ASSERT_EQ(GetObject(s.bmp, sizeof ds, &ds), int(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 2);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(ds.dsBm.bmBits, s.bits);

  // SaveDC / RestoreDC bring back origin, colours and clip.
  const int level = SaveDC(s.dc);
  SetViewportOrgEx(s.dc, 5, 5, nullptr);
  SetTextColor(s.dc, RGB(1, 2, 3));
  IntersectClipRect(s.dc, 0, 0, 1, 1);
  EXPECT_TRUE(RestoreDC(s.dc, level));
  POINT org;
  GetViewportOrgEx(s.dc, &org);
  EXPECT_EQ(org.x, 0);
  EXPECT_EQ(GetTextColor(s.dc), 0u);
  RECT box;
  EXPECT_EQ(GetClipBox(s.dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 2);
}

TEST(SurfaceDC, SharedSurfaceWithOriginsAndVisibleRegions) {
  Surface s(20, 20);
  HRGN visA = CreateRectRgn(2, 2, 8, 8), visB = CreateRectRgn(10, 10, 20, 20);
  HDC a = CreateSurfaceDC(s.bmp, POINT{2, 2}, visA);
  HDC b = CreateSurfaceDC(s.bmp, POINT{10, 10}, visB);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(GetObjectType(a), OBJ_DC);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), green = CreateSolidBrush(RGB(0, 255, 0));
  RECT huge{-100, -100, 100, 100};
  FillRect(a, &huge, red);
  FillRect(b, &huge, green);
  EXPECT_EQ(s.At(2, 2), 0x00FF0000u);
  EXPECT_EQ(s.At(7, 7), 0x00FF0000u);
  EXPECT_EQ(s.At(8, 8), 0u);
  EXPECT_EQ(s.At(10, 10), 0x0000FF00u);
  EXPECT_EQ(s.At(1, 1), 0u);

  // A clip region is in the DC's device units and cannot widen the visible part.
  s.Fill(0);
  HRGN clip = CreateRectRgn(1, 1, 50, 3);
  SelectClipRgn(a, clip);
  FillRect(a, &huge, red);
  EXPECT_EQ(s.At(3, 3), 0x00FF0000u);
  EXPECT_EQ(s.At(7, 4), 0x00FF0000u);
  EXPECT_EQ(s.At(3, 5), 0u);
  EXPECT_EQ(s.At(8, 3), 0u);
  RECT box;
  GetClipBox(a, &box);
  EXPECT_EQ(box.left, 1);
  EXPECT_EQ(box.right, 6);
  EXPECT_EQ(GetPixel(a, 1, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(a, 0, 0), CLR_INVALID);

  // The window moved.
  SelectClipRgn(a, nullptr);
  ASSERT_TRUE(SetSurfaceDCVisible(a, POINT{0, 12}, nullptr));
  POINT org;
  GetDCOrgEx(a, &org);
  EXPECT_EQ(org.y, 12);
  SetPixel(a, 0, 0, RGB(0, 0, 255));
  EXPECT_EQ(s.At(0, 12), 0x000000FFu);
  HBITMAP other = CreateCompatibleBitmap(nullptr, 2, 2);
  EXPECT_EQ(SelectObject(a, other), nullptr);  // a surface DC keeps its surface
  DeleteObject(other);

  EXPECT_FALSE(DeleteObject(s.bmp));  // still in use by the surface DCs
  DeleteDC(a);
  DeleteDC(b);
  for (HGDIOBJ o : {HGDIOBJ(visA), HGDIOBJ(visB), HGDIOBJ(clip), HGDIOBJ(red), HGDIOBJ(green)}) DeleteObject(o);
}

TEST(Bitmaps, StrideAndBottomUpRows) {
  struct Case {
    int width, bits, stride;
  };
  for (const Case& c : {Case{1, 1, 4}, Case{33, 1, 8}, Case{3, 4, 4}, Case{9, 4, 8}, Case{5, 8, 8},
                        Case{3, 16, 8}, Case{3, 24, 12}, Case{5, 24, 16}, Case{3, 32, 12}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.bits);
    Surface s(c.width, 3, c.bits);
    BITMAP bm;
    GetObject(s.bmp, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidthBytes, c.stride);
    // The first row in memory is the bottom row of the picture.
    SetPixel(s.dc, 0, 2, RGB(255, 255, 255));
    EXPECT_NE(static_cast<uint8_t*>(s.bits)[0], 0);
    EXPECT_EQ(static_cast<uint8_t*>(s.bits)[2 * c.stride], 0);
  }
  Surface top(2, 2, 32, true);
  SetPixel(top.dc, 0, 0, RGB(255, 0, 0));
  EXPECT_EQ(static_cast<uint32_t*>(top.bits)[0], 0x00FF0000u);
}

}  // namespace
