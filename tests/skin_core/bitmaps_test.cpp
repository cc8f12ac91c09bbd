#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"

TEST(SkinBitmaps, ByteOrderAndRectangles) {
  EXPECT_EQ(SwapBytes32(0x11223344u), 0x44332211u);
  uint32_t hdr[2] = {0x10000000u, 0x20000000u};
  SwapBytes32Array(hdr, 2);
  EXPECT_EQ(hdr[0], 0x10u);
  EXPECT_EQ(hdr[1], 0x20u);
  EXPECT_EQ(SwapRedBlue(0x80112233u), 0x80332211u);
  EXPECT_EQ(MakeRect(100, 50, 0, 0), TRect(0, 0, 100, 50));
  EXPECT_EQ(RectWidthEx(TRect(10, 0, 4, 0), false), -6);
  EXPECT_EQ(RectWidthEx(TRect(10, 0, 4, 0), true), 0);
  EXPECT_EQ(RectHeightEx(TRect(0, 3, 0, 1), true), 0);
  EXPECT_EQ(RectHeightEx(TRect(0, 1, 0, 3), true), 2);
}

TEST(SkinBitmaps, ConstructorsAndRowInfo) {
  auto b = NewBitmap32(3, 4);
  EXPECT_EQ(b->PixelFormat(), pf32bit);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->Height(), 4);
  void* row0 = nullptr;
  int step = 0;
  ASSERT_TRUE(GetBitmapRowInfo(b.get(), row0, step));
  for (int y = 0; y < 4; ++y) EXPECT_EQ(static_cast<uint8_t*>(row0) + y * step, b->ScanLine(y));

  auto one = NewBitmap32(5, 1);
  ASSERT_TRUE(GetBitmapRowInfo(one.get(), row0, step));
  EXPECT_EQ(step, 0);
  auto none = NewBitmap32(0, 0);
  row0 = nullptr;
  EXPECT_FALSE(GetBitmapRowInfo(none.get(), row0, step));
  EXPECT_EQ(row0, nullptr);

  // A size that cannot be allocated gives an empty bitmap, not an error.
  auto huge = NewBitmap32(100000, 100000);
  EXPECT_EQ(huge->Width(), 0);
  EXPECT_EQ(huge->Height(), 0);

  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(7, 2);
  auto like = NewBitmapLike(&eight);
  EXPECT_EQ(like->PixelFormat(), pf8bit);
  EXPECT_EQ(like->Width(), 7);
  EXPECT_EQ(like->Height(), 2);
}

TEST(SkinBitmaps, Pixel32StaysInsideNarrowRows) {
  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(5, 2);  // rows of 8 bytes: columns 0 and 1 hold four bytes each
  SetPixel32(&eight, 1, 0, 0x04030201u);
  EXPECT_EQ(GetPixel32(&eight, 1, 0), 0x04030201u);
  EXPECT_EQ(GetPixel32(&eight, 2, 0), 0u);
  EXPECT_EQ(SetPixel32Row(&eight, 2, 0, 1), nullptr);
  EXPECT_EQ(SetPixel32Row(&eight, 0, 5, 1), nullptr);
}

TEST(SkinBitmaps, TransferChannel8BothWaysOverTheSharedArea) {
  auto b32 = CodedBitmap(4, 3);
  TBitmap b8;
  b8.SetPixelFormat(pf8bit);
  b8.SetSize(3, 5);  // narrower and taller: only 3 x 3 pixels are shared
  TransferChannel8(b32.get(), &b8, 1, true);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(static_cast<uint8_t*>(b8.ScanLine(y))[x], y);
  static_cast<uint8_t*>(b8.ScanLine(2))[0] = 0x77;
  TransferChannel8(b32.get(), &b8, 3, false);
  EXPECT_EQ(Px(b32.get(), 0, 2) >> 24, 0x77u);
  EXPECT_EQ(Px(b32.get(), 1, 1) >> 24, 1u);  // green channel copied in at (1, 1) holds y = 1
  EXPECT_EQ(Px(b32.get(), 3, 0) >> 24, 0xFFu);  // outside the 8-bit bitmap: untouched
}

TEST(SkinBitmaps, AlphaPrimitives) {
  // Premultiplying: white with alpha 0 becomes 0; opaque white is 254 composed, 244 without composition.
  for (bool composed : {true, false}) {
    auto b = FilledBitmap(2, 1, 0xFFFFFFFF);
    SetPixel32(b.get(), 1, 0, 0x00FFFFFF);
    PremultiplyRect(b.get(), TRect(0, 0, 2, 1), composed);
    EXPECT_EQ(Px(b.get(), 0, 0), composed ? 0xFFFEFEFEu : 0xFFF4F4F4u);
    EXPECT_EQ(Px(b.get(), 1, 0), 0u);
  }
  auto h = FilledBitmap(1, 1, 0x80FF8040);
  PremultiplyBitmap(h.get());
  EXPECT_EQ(Px(h.get(), 0, 0), 0x807F4020u);

  // SetAlphaInRect: a key spares only the exact whole value.
  auto a = FilledBitmap(3, 1, 0x00FF00FF);
  SetPixel32(a.get(), 1, 0, 0x10FF00FF);
  SetAlphaInRect(a.get(), TRect(0, 0, 2, 1), 0x80, 0xFF00FF);
  EXPECT_EQ(Px(a.get(), 0, 0), 0x00FF00FFu);
  EXPECT_EQ(Px(a.get(), 1, 0), 0x80FF00FFu);
  EXPECT_EQ(Px(a.get(), 2, 0), 0x00FF00FFu);  // outside the rectangle
  SetAlphaInRect(a.get(), TRect(-5, -5, 50, 50), 0x11, 0x1FFFFFFF);  // cut to the bitmap
  EXPECT_EQ(Px(a.get(), 2, 0), 0x11FF00FFu);

  // FillRect32 clips; an inverted rectangle changes nothing.
  auto f = FilledBitmap(3, 3, 0);
  FillRect32(f.get(), TRect(-1, -1, 9, 9), clRed, 0x40);
  EXPECT_EQ(Px(f.get(), 2, 2), 0x40FF0000u);
  FillRect32(f.get(), TRect(2, 0, 1, 3), clBlue, 0xFF);
  EXPECT_EQ(Px(f.get(), 1, 1), 0x40FF0000u);

  // TintRect32 at 50 %: 200 toward 100 gives 150, 100 toward 200 gives 150.
  auto t = FilledBitmap(1, 1, 0x00C864C8);
  TintRect32(t.get(), TRect(0, 0, 1, 1), TColor(0x64C864), 0x99, 50);
  EXPECT_EQ(Px(t.get(), 0, 0), 0x99969696u);

  // BlendRectWithColor takes Right and Bottom as inclusive: (0, 0, 10, 10) changes 11 x 11 pixels.
  auto r = FilledBitmap(20, 20, 0);
  BlendRectWithColor(r.get(), TRect(0, 0, 10, 10), 0, clWhite);
  int changed = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) changed += Px(r.get(), x, y) != 0;
  EXPECT_EQ(changed, 121);
  EXPECT_EQ(Px(r.get(), 10, 10), 0x00FEFEFEu);

  EXPECT_EQ(MixColors(0xFFFFFF, 0, 255), 0xFEFEFE);
  EXPECT_EQ(MixColors(TColor(0x7F000000), 0xFFFFFF, 0), 0x7FFEFEFE);
}

TEST(SkinBitmaps, MaskedHalvesAndTextInk) {
  // Height 9: rows 0..3 colour, 4..7 mask (red 255 - alpha); height 1: nothing.
  auto src = FilledBitmap(2, 9, 0xFF112233);
  for (int y = 4; y < 8; ++y) SetPixel32(src.get(), 1, y, 0xFF400000);
  auto b = BitmapFromMaskedHalves(src.get(), TRect(0, 0, 2, 9));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->Height(), 4);
  EXPECT_EQ(Px(b.get(), 1, 3), 0xBF112233u);
  EXPECT_EQ(Px(b.get(), 0, 0), 0xEE112233u);
  EXPECT_FALSE(BitmapFromMaskedHalves(src.get(), TRect(0, 0, 2, 1)));

  // Text: opaque mode makes ink pixels opaque and takes the text colour; untouched pixels stay.
  auto t = FilledBitmap(40, 20, 0x00000000);
  t->Canvas()->Font()->SetHeight(-14);
  DrawTextToBitmap32(t.get(), "W", false, false, clRed, DT_SINGLELINE, TRect(-2, -2, 38, 18));
  int ink = 0, red = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const uint32_t p = Px(t.get(), x, y);
      if (p == 0) continue;
      ++ink;
      EXPECT_EQ(p >> 24, 0xFFu);
      red += (p & 0xFFFF) == 0 && (p >> 16 & 0xFF) > 0xF0;
    }
  EXPECT_GT(ink, 10);
  EXPECT_GT(red, 3);
  EXPECT_EQ(Px(t.get(), 39, 19), 0u);
  // Alpha mode raises the alpha of a transparent layer only where there is ink.
  auto l = FilledBitmap(40, 20, 0);
  l->Canvas()->Font()->SetHeight(-14);
  DrawTextToBitmap32(l.get(), "W", true, false, clWhite, DT_SINGLELINE, TRect(0, 0, 40, 20));
  int opaque = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) opaque += Px(l.get(), x, y) >> 24 >= 254;
  EXPECT_GT(opaque, 3);
  EXPECT_EQ(Px(l.get(), 39, 19), 0u);
}
