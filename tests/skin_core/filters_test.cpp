#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/sGraphUtils.h"

TEST(SkinFilters, PixelTransforms) {
  // Brightness -255 leaves c - c * 255 shr 8: 0 or 1.
  EXPECT_EQ(BrightenPixel(0x80FF8001u, -255), 0x80010101u);
  EXPECT_EQ(BrightenPixel(0x00804020u, 128), 0x00C06030u);
  EXPECT_EQ(BrightenPixel(0x00F0F0F0u, 255), 0x00FFFFFFu);
  // Saturation -255 gives grey: Round(0.299 * 200 + 0.587 * 100 + 0.114 * 50) = 124, times 255 shr 8.
  EXPECT_EQ(SaturatePixel(-255, 0x7FC86432u), 0x7F7B7B7Bu);
  // +255 doubles each channel's distance from grey, clamped: (510 * c - 255 * 124) shr 8.
  EXPECT_EQ(SaturatePixel(255, 0x00C86432u), 0x00FF4B00u);
  EXPECT_EQ(SaturateColor(0x123456, 0), 0x123456);
  // Hue rotation: red by 120 is green, by 240 blue; grey stays.
  EXPECT_EQ(HueShiftPixel(120, 0xFFFF0000u), 0xFF00FF00u);
  EXPECT_EQ(HueShiftPixel(240, 0xFFFF0000u), 0xFF0000FFu);
  EXPECT_EQ(HueShiftPixel(77, 0x40808080u), 0x40808080u);
  EXPECT_EQ(HueShiftColor(120, clRed), clLime);
  // Tone: red 0, green 128, blue 64 toned with clRed gets red 255 * 128 shr 8.
  EXPECT_EQ(ToneColor(0x55008040u, uint32_t(clRed)), 0x557F0000u);
  EXPECT_EQ(SwapRB(0x112233), 0x332211);
}

TEST(SkinFilters, ApplyPixelFilterSparesTheKey) {
  for (TColor key : {clFuchsia, TColor(0x1FFFFFFF)}) {
    auto b = FilledBitmap(2, 1, 0x00FF00FF);
    SetPixel32(b.get(), 1, 0, 0x00102030);
    ApplyPixelFilter(b.get(), OpaqueProc, 0, key);
    EXPECT_EQ(Px(b.get(), 0, 0), key == clFuchsia ? 0x00FF00FFu : 0xFFFF00FFu);
    EXPECT_EQ(Px(b.get(), 1, 0), 0xFF102030u);
  }
  auto g = FilledBitmap(2, 1, 0x11C86432);
  SetPixel32(g.get(), 1, 0, 0x00FF00FF);
  GrayscaleBitmapKeyed(g.get(), 0x00FF00FF);
  EXPECT_EQ(Px(g.get(), 0, 0), 0x117C7C7Cu);
  EXPECT_EQ(Px(g.get(), 1, 0), 0x00FF00FFu);
}

TEST(SkinFilters, DisabledLook) {
  // Grayed by the default saturation; blended with a plain parent colour by DefDisabledBlend (100).
  auto b = FilledBitmap(3, 3, 0xFFC86432);
  ApplyDisabledKind(b.get(), TacDisabledKind{dkGrayed}, clBlack, TPoint(), EmptyCI);
  // -90 % is SaturatePixel(-229): (26 * c + 229 * 124) shr 8.
  EXPECT_EQ(Px(b.get(), 1, 1), 0xFF837974u);
  auto c = FilledBitmap(3, 3, 0xFF000000);
  TCacheInfo ci = EmptyCI;
  ci.FillColor = clWhite;
  ApplyDisabledKind(c.get(), TacDisabledKind{dkBlended}, clBlack, TPoint(), ci);
  EXPECT_EQ(Px(c.get(), 2, 2), 0xFF9A9A9Au);  // 255 * 155 shr 8
  auto e = FilledBitmap(3, 3, 0xFF123456);
  ApplyDisabledKind(e.get(), TacDisabledKind{}, clBlack, TPoint(), EmptyCI);
  EXPECT_EQ(Px(e.get(), 0, 0), 0xFF123456u);
}
