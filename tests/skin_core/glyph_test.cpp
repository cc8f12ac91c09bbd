#include <gtest/gtest.h>

#include <cstdlib>

#include "SkinTestUtil.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sTextPaint.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kStripKey = 0xFF112233u;

// Frame f's colour; every frame's bottom-left pixel is the strip's transparent colour.
uint32_t FrameColour(int f) { return 0xFF000000u | (48u << 16) | (32u << 8) | uint32_t(10 + f * 40); }

std::unique_ptr<TBitmap> Strip(int frames, int fw, int fh) {
  auto b = NewBitmap32(frames * fw, fh);
  for (int y = 0; y < fh; ++y)
    for (int x = 0; x < frames * fw; ++x)
      SetPixel32(b.get(), x, y, (x % fw == 0 && y == fh - 1) ? kStripKey : FrameColour(x / fw));
  return b;
}

TEST(SkinGlyphs, StripFrameByKindStateAndOrder) {
  struct Case {
    int kind, state;
    bool enabled;
    int numGlyphs;
    bool skinOrder;
    int frame;  // -1: nothing painted
  } cases[] = {
      {0, 1, true, 4, true, 0},  {1, 0, true, 4, true, 1},   {1, 0, true, 4, false, 0}, {2, 1, true, 4, false, 3},
      {2, 2, true, 4, true, 1},  {2, 2, true, 4, false, 0},  {3, 0, true, 4, false, 2}, {3, 0, true, 2, false, 0},
      {2, 1, false, 4, true, 0}, {5, 0, true, 4, false, -1}, {2, 0, true, 0, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " state " << c.state << " glyphs " << c.numGlyphs);
    auto strip = Strip(std::max(c.numGlyphs, 1), 4, 4);
    auto target = FilledBitmap(12, 12, kBlack);
    DrawGlyphFromStrip(strip.get(), target.get(), TRect(2, 2, 6, 6), false, uint8_t(c.state), 0, c.kind, c.enabled,
                       c.numGlyphs, c.skinOrder);
    EXPECT_EQ(Px(target.get(), 3, 3), c.frame < 0 ? kBlack : FrameColour(c.frame));
    EXPECT_EQ(Px(target.get(), 2, 5), kBlack);  // the bottom-left colour stays transparent
    EXPECT_EQ(Px(target.get(), 6, 3), kBlack);
  }
}

TEST(SkinGlyphs, DisabledBlendAndReflection) {
  // A disabled glyph with a blend mixes in with the blend as the target's weight.
  auto strip = Strip(2, 4, 4);
  auto target = FilledBitmap(12, 12, kBlack);
  DrawGlyphFromStrip(strip.get(), target.get(), TRect(2, 2, 6, 6), false, 0, 127, 0, false, 2);
  EXPECT_EQ(Px(target.get(), 3, 3), 0xFF000000u | (24u << 16) | (16u << 8) | 5u);

  // Reflected: the glyph rises by an eighth of its height and fades out below.
  auto tall = Strip(2, 4, 12);
  auto t2 = FilledBitmap(10, 40, kBlack);
  DrawGlyphFromStrip(tall.get(), t2.get(), TRect(2, 8, 6, 20), true, 0, 0, 0, true, 2);
  EXPECT_EQ(Px(t2.get(), 3, 6), kBlack);
  EXPECT_EQ(Px(t2.get(), 3, 7), FrameColour(0));
  EXPECT_EQ(Px(t2.get(), 3, 18), FrameColour(0));
  // First mirrored row at weight 127 of 256, the last (row 7 below) at 0.
  EXPECT_EQ(Px(t2.get(), 3, 19), 0xFF000000u | (23u << 16) | (15u << 8) | 4u);
  EXPECT_EQ(Px(t2.get(), 2, 19), kBlack);  // the transparent colour is not mirrored
  EXPECT_EQ(Px(t2.get(), 3, 26), kBlack);
  EXPECT_EQ(Px(t2.get(), 3, 27), kBlack);
}

// Colour channels within one step (compositing rounds down).
bool Near(uint32_t p, uint32_t q) {
  for (int k = 0; k < 3; ++k)
    if (std::abs(int((p >> (8 * k)) & 0xFF) - int((q >> (8 * k)) & 0xFF)) > 1) return false;
  return true;
}

TEST(SkinGlyphs, BitmapToCanvasByAlpha) {
  constexpr uint32_t blue = 0xFF0000FFu, red = 0xFFFF0000u;
  auto canvas = FilledBitmap(20, 20, blue);
  // Same size: opaque pixels cover, clear ones keep the canvas.
  auto bmp = FilledBitmap(4, 4, red);
  SetPixel32(bmp.get(), 1, 1, 0);
  DrawBitmapToCanvas(canvas->Canvas(), bmp.get(), TRect(5, 5, 9, 9), false);
  EXPECT_TRUE(Near(Px(canvas.get(), 5, 5), red));
  EXPECT_EQ(Px(canvas.get(), 6, 6) & 0xFFFFFF, blue & 0xFFFFFF);
  EXPECT_EQ(Px(canvas.get(), 4, 5) & 0xFFFFFF, blue & 0xFFFFFF);
  EXPECT_EQ(Px(canvas.get(), 5, 9) & 0xFFFFFF, blue & 0xFFFFFF);

  // Scaled: the alpha follows the colours (left half opaque, right half clear).
  auto half = FilledBitmap(2, 2, red);
  SetPixel32(half.get(), 1, 0, 0);
  SetPixel32(half.get(), 1, 1, 0);
  auto c2 = FilledBitmap(20, 20, blue);
  DrawBitmapToCanvas(c2->Canvas(), half.get(), TRect(0, 10, 8, 14), false);
  for (int x : {0, 3}) EXPECT_TRUE(Near(Px(c2.get(), x, 12), red)) << x;
  for (int x : {4, 7, 8}) EXPECT_EQ(Px(c2.get(), x, 12) & 0xFFFFFF, blue & 0xFFFFFF) << x;
  EXPECT_EQ(Px(c2.get(), 0, 9) & 0xFFFFFF, blue & 0xFFFFFF);

  // Reflected: a mirror image fades out within half R's height below it.
  auto c3 = FilledBitmap(20, 20, blue);
  auto square = FilledBitmap(8, 8, red);
  DrawBitmapToCanvas(c3->Canvas(), square.get(), TRect(5, 5, 13, 13), true);
  EXPECT_TRUE(Near(Px(c3.get(), 5, 12), red));
  EXPECT_NE(Px(c3.get(), 5, 14) & 0xFFFFFF, blue & 0xFFFFFF);
  EXPECT_EQ(Px(c3.get(), 5, 17) & 0xFFFFFF, blue & 0xFFFFFF);
}

TEST(SkinGlyphs, GlyphCaptionLayout) {
  // Client (10, 20)-(110, 60), glyph 16 x 16, text 40 x 12.
  struct Case {
    int layout, hAlign, vAlign, flags, margin, spacing;
    TPoint glyph;
    TRect text;
  } cases[] = {
      {0, 0, 2, 0, -1, 4, TPoint(12, 32), TRect(32, 34, 72, 46)},   // left, margin 2
      {0, 2, 2, 0, -1, 4, TPoint(30, 32), TRect(50, 34, 90, 46)},   // centred pair
      {0, 0, 2, 2, 5, 3, TPoint(58, 32), TRect(15, 34, 55, 46)},    // right-to-left: glyph right
      {0, 0, 2, 0, -1, -1, TPoint(24, 32), TRect(54, 34, 94, 46)},  // automatic margin and spacing
      {0, 1, 0, 0, 4, 6, TPoint(44, 24), TRect(66, 24, 106, 36)},   // right-aligned, at the top
      {2, 0, 2, 0, -1, 2, TPoint(52, 25), TRect(40, 43, 80, 55)},   // glyph above, centred block
      {3, 0, 1, 0, 3, 2, TPoint(52, 41), TRect(40, 27, 80, 39)},    // glyph below, at the bottom
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "layout " << c.layout << " halign " << c.hAlign << " valign " << c.vAlign);
    TRect text;
    TPoint glyph;
    CalcGlyphCaptionLayout(TRect(10, 20, 110, 60), TSize{16, 16}, TSize{40, 12}, c.vAlign, c.flags, text, glyph,
                           c.spacing, c.margin, c.hAlign, c.layout);
    EXPECT_EQ(glyph.X, c.glyph.X);
    EXPECT_EQ(glyph.Y, c.glyph.Y);
    EXPECT_EQ(text.Left, c.text.Left);
    EXPECT_EQ(text.Top, c.text.Top);
    EXPECT_EQ(text.Right, c.text.Right);
    EXPECT_EQ(text.Bottom, c.text.Bottom);
  }
}

}  // namespace
