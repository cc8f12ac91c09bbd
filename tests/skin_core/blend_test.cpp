#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGraphUtils.h"

namespace {

constexpr uint32_t kTarget = 0x80204060;  // a=0x80 r=0x20 g=0x40 b=0x60

uint32_t Chan(uint32_t p, int k) { return (p >> (8 * k)) & 0xFF; }
uint32_t Mix(uint32_t d, uint32_t s, uint32_t a) { return (d * 256 + (s - d) * a) >> 8; }

TCacheInfo ReadyCI(TBitmap* parent, int x, int y) {
  TCacheInfo ci;
  MakeCacheInfo(parent, x, y, ci);
  return ci;
}

}  // namespace

// Each channel d := (d * 256 + (s - d) * a) div 256; the alpha becomes the larger one,
// and with a ready cache a source alpha of 16 or less leaves the target alone.
TEST(SkinBlend, BlendBitmapOverExAlphaTable) {
  for (uint32_t a : {0u, 16u, 17u, 128u, 255u}) {
    const uint32_t src = (a << 24) | 0xF0A010;
    for (bool ready : {false, true}) {
      SCOPED_TRACE(testing::Message() << "alpha " << a << " ready " << ready);
      auto s = FilledBitmap(2, 2, src);
      auto d = FilledBitmap(2, 2, kTarget);
      auto parent = FilledBitmap(4, 4, 0);
      const TCacheInfo ci = ready ? ReadyCI(parent.get(), 0, 0) : EmptyCI;
      BlendBitmapOverEx(TRect(0, 0, 2, 2), TRect(0, 0, 2, 2), d.get(), false, 0, clNone, false, ci, s.get());
      const uint32_t got = Px(d.get(), 1, 1);
      if (ready && a <= 16) {
        EXPECT_EQ(got, kTarget);
        continue;
      }
      for (int k = 0; k < 3; ++k) EXPECT_EQ(Chan(got, k), Mix(Chan(kTarget, k), Chan(src, k), a)) << k;
      EXPECT_EQ(Chan(got, 3), std::max(0x80u, a));
    }
  }
  // Half-transparent white over black: 255 * 128 shr 8 = 127.
  auto s = FilledBitmap(1, 1, 0x80FFFFFF);
  auto d = FilledBitmap(1, 1, 0xFF000000);
  BlendBitmapOverEx(TRect(0, 0, 1, 1), TRect(0, 0, 1, 1), d.get(), false, 0, clNone, false, EmptyCI, s.get());
  EXPECT_EQ(Px(d.get(), 0, 0), 0xFF7F7F7Fu);
}

TEST(SkinBlend, BlendBitmapOverAlphaRuleAndParentKey) {
  // Target alpha := alpha + (255 - alpha) * a shr 8; alpha 0 changes nothing.
  for (uint32_t a : {0u, 16u, 17u, 128u, 255u}) {
    auto s = FilledBitmap(1, 1, (a << 24) | 0x102030);
    auto d = FilledBitmap(1, 1, kTarget);
    BlendBitmapOver(TRect(0, 0, 1, 1), TRect(0, 0, 1, 1), d.get(), false, EmptyCI, s.get());
    const uint32_t got = Px(d.get(), 0, 0);
    EXPECT_EQ(Chan(got, 3), 0x80 + ((0x7F * a) >> 8)) << a;
    EXPECT_EQ(Chan(got, 0), Mix(0x60, 0x30, a)) << a;
    if (a == 0) {
      EXPECT_EQ(got, kTarget);
    }
  }
  // With a ready cache a key pixel takes the parent's pixel behind it (alpha 255), or
  // stays when UseParent is off.
  auto s = FilledBitmap(2, 1, 0x00FF00FF);
  auto parent = CodedBitmap(8, 8, 0x11, false);
  for (bool useParent : {false, true}) {
    auto d = FilledBitmap(4, 4, kTarget);
    BlendBitmapOver(TRect(1, 2, 3, 3), TRect(0, 0, 2, 1), d.get(), useParent, ReadyCI(parent.get(), 3, 1), s.get());
    EXPECT_EQ(Px(d.get(), 2, 2), useParent ? 0xFF110305u : kTarget);  // parent (3 + 2, 1 + 2)
    EXPECT_EQ(Px(d.get(), 0, 2), kTarget);
  }
}

// Which source pixel lands where when rectangles are clipped: negative origins on
// either side, mismatched sizes, inverted and empty rectangles.
TEST(SkinBlend, ClippingTable) {
  struct Case {
    TRect target, source;
    int changed;  // target pixels written
    int tx, ty, sx, sy;  // one of them and its source
  };
  const Case cases[] = {
      {TRect(0, 0, 4, 4), TRect(0, 0, 4, 4), 16, 3, 3, 3, 3},
      {TRect(-2, -1, 4, 4), TRect(0, 0, 6, 5), 16, 0, 0, 2, 1},   // target starts outside
      {TRect(1, 1, 4, 4), TRect(-1, -2, 6, 6), 2, 2, 3, 0, 0},    // source starts outside
      {TRect(2, 2, 10, 10), TRect(0, 0, 10, 10), 4, 3, 3, 1, 1},  // cut to the target
      {TRect(0, 0, 2, 3), TRect(4, 4, 9, 9), 4, 1, 1, 5, 5},      // cut to the source (6 x 6)
      {TRect(3, 3, 1, 1), TRect(0, 0, 4, 4), 0, 0, 0, 0, 0},      // inverted
      {TRect(0, 0, 4, 4), TRect(2, 2, 2, 5), 0, 0, 0, 0, 0},      // empty source
      {TRect(5, 0, 9, 4), TRect(0, 0, 4, 4), 0, 0, 0, 0, 0},      // right of the target
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "target " << c.target.Left << "," << c.target.Top << " source "
                                    << c.source.Left << "," << c.source.Top);
    auto s = CodedBitmap(6, 6, 0x40);
    auto d = FilledBitmap(4, 4, 0);
    BlendBitmapOverEx(c.target, c.source, d.get(), true, 0, clNone, false, EmptyCI, s.get());
    int changed = 0;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) changed += Px(d.get(), x, y) != 0;
    EXPECT_EQ(changed, c.changed);
    if (c.changed) {
      // An opaque source pixel over black keeps v * 255 shr 8 of each channel.
      EXPECT_EQ(Px(d.get(), c.tx, c.ty), 0xFF000000u | (Mix(0, 0x40, 255) << 16) | (Mix(0, c.sy, 255) << 8) |
                                             Mix(0, c.sx, 255));
    }
  }
}

TEST(SkinBlend, ReflectionMirrorsAndFades) {
  // A 4 x 8 opaque source over the top of a 4 x 12 target: r = min(8/2 - 1, 12 - 4 - 1, 4 - 1) = 3,
  // rows 5, 6, 7 of the target get source rows 2, 1, 0 with falling weights (the last is 0).
  auto s = CodedBitmap(4, 8, 0x40);
  auto d = FilledBitmap(4, 12, 0xFF000000);
  BlendBitmapOverEx(TRect(0, 0, 4, 4), TRect(0, 0, 4, 4), d.get(), true, 0, clNone, false, EmptyCI, s.get());
  EXPECT_EQ(Px(d.get(), 1, 3), 0xFF3F0200u);  // (0x40, 3, 1) * 255 shr 8
  EXPECT_EQ(Px(d.get(), 1, 4), 0xFF000000u);  // the row right below stays
  // k = 1: weight (255 * 2 div 3) * 255 shr 9 = 84; source row 4 - 1 - 1 = 2.
  EXPECT_EQ(Px(d.get(), 1, 5), 0xFF000000u | ((0x40 * 84 >> 8) << 16) | ((2 * 84 >> 8) << 8) | (1 * 84 >> 8));
  EXPECT_EQ(Px(d.get(), 2, 5) >> 16 & 0xFF, 0x40u * 84 >> 8);
  // k = 2: weight (255 div 3) * (255 - 31) shr 9 = 37.
  EXPECT_EQ(Px(d.get(), 1, 6) >> 16 & 0xFF, 0x40u * 37 >> 8);
  EXPECT_EQ(Px(d.get(), 1, 7), 0xFF000000u);

  // A one-row source rectangle at the top of a tall source has no rows to mirror.
  auto d2 = FilledBitmap(4, 12, 0xFF000000);
  BlendBitmapOverEx(TRect(0, 0, 4, 1), TRect(0, 0, 4, 1), d2.get(), true, 0, clNone, false, EmptyCI, s.get());
  for (int y = 1; y < 12; ++y) EXPECT_EQ(Px(d2.get(), 0, y), 0xFF000000u) << y;
}

TEST(SkinBlend, BlendPercentAndTint) {
  // Blend 50: weight 50 * a div 100, colours only.
  auto s = FilledBitmap(1, 1, 0xC8FF0000);  // a = 200, red
  auto d = FilledBitmap(1, 1, 0x10000000);
  BlendBitmapOverEx(TRect(0, 0, 1, 1), TRect(0, 0, 1, 1), d.get(), false, 50, clNone, false, EmptyCI, s.get());
  EXPECT_EQ(Px(d.get(), 0, 0), 0x10000000u | ((255u * 100 >> 8) << 16));
  // Tint: the colour brightened to 255 in its largest channel, scaled by the pixel's luminance.
  auto g = FilledBitmap(1, 1, 0xFF808080);  // L = 32 + 64 + 32 = 128
  auto d2 = FilledBitmap(1, 1, 0x00000000);
  BlendBitmapOverEx(TRect(0, 0, 1, 1), TRect(0, 0, 1, 1), d2.get(), false, 0, TColor(0x000040), false, EmptyCI,
                    g.get());
  // Tint red 0x40 -> (255, 191, 191) in R, G, B; times 128 shr 8 = (127, 95, 95); blended by 255 over
  // black: c * 255 shr 8; alpha ((255 - 0) * 255 + 0) shr 8.
  EXPECT_EQ(Px(d2.get(), 0, 0), 0xFE7E5E5Eu);
}

TEST(SkinBlend, FixedWeightsAndKeyedCopies) {
  // BlendBitmapRect: inclusive source rectangle (2 x 2 here), weight 0 copies, 255 keeps most of the target.
  auto s = CodedBitmap(4, 4, 0x40);
  for (int w : {0, 128, 255}) {
    auto d = FilledBitmap(4, 4, 0x80000000);
    BlendBitmapRect(d.get(), s.get(), uint8_t(w), TPoint(1, 1), TRect(2, 2, 3, 3));
    const uint32_t got = Px(d.get(), 2, 2);  // source (3, 3): right column and bottom row are included
    EXPECT_EQ(Chan(got, 2), (0x40u * 256 - 0x40u * w) >> 8) << w;
    EXPECT_EQ(Chan(got, 0), (3u * 256 - 3u * w) >> 8) << w;
    EXPECT_EQ(Chan(got, 3), (0xFFu + ((w * (0x80 - 0xFF)) >> 8)) & 0xFF) << w;
    EXPECT_EQ(Px(d.get(), 3, 3), 0x80000000u);
    EXPECT_EQ(Px(d.get(), 0, 0), 0x80000000u);
  }
  // BlendBitmapAlpha: alpha 128 source over alpha 0: alpha := (128 * 128) shr 8 = 64.
  auto h = FilledBitmap(2, 2, 0x80FF0000);
  auto d = FilledBitmap(2, 2, 0);
  BlendBitmapAlpha(d.get(), h.get(), TRect(0, 0, 5, 5), TPoint(1, 1));  // cut to the source's last column
  EXPECT_EQ(Px(d.get(), 1, 1), 0x407F0000u);
  EXPECT_EQ(Px(d.get(), 0, 0), 0u);

  // CopyBitmapKeyed: a source rectangle reaching past the source copies the part inside; key pixels skipped.
  auto k = CodedBitmap(3, 3, 0x40);
  SetPixel32(k.get(), 1, 1, 0x00FF00FF);
  auto t = FilledBitmap(5, 5, 0x11000000);
  CopyBitmapKeyed(t.get(), 1, 1, clFuchsia, 0, TRect(0, 0, 9, 9), k.get());
  EXPECT_EQ(Px(t.get(), 3, 3), 0x113F0101u);  // source (2, 2): (255 * s) shr 8, alpha kept
  EXPECT_EQ(Px(t.get(), 2, 2), 0x11000000u);
  EXPECT_EQ(Px(t.get(), 4, 4), 0x11000000u);

  // DrawBitmapKeyed: key in colour order, copies opaque, clipped at a negative origin.
  auto u = FilledBitmap(3, 3, 0xFF);  // blue in pixel order = TColor 0xFF0000
  SetPixel32(u.get(), 2, 2, 0x20304050);
  auto v = FilledBitmap(3, 3, 0);
  DrawBitmapKeyed(v.get(), u.get(), -1, -1, TColor(0xFF0000));
  EXPECT_EQ(Px(v.get(), 1, 1), 0xFF304050u);
  EXPECT_EQ(Px(v.get(), 0, 0), 0u);
}

TEST(SkinBlend, TwoBitmapsAndColourMixes) {
  auto a = FilledBitmap(2, 2, 0x00000000), b = FilledBitmap(2, 2, 0x00FFFFFF);
  auto t = FilledBitmap(2, 2, 0x77000000);
  BlendTwoBitmaps(t.get(), a.get(), b.get(), 128, nullptr);
  EXPECT_EQ(Px(t.get(), 0, 0), 0x777F7F7Fu);  // 255 - ((128 * 255 + 255) shr 8)
  auto m = FilledBitmap(2, 2, 0x0000FF40);
  BlendTwoBitmaps(t.get(), a.get(), b.get(), 0, m.get());
  EXPECT_EQ(Px(t.get(), 1, 1), 0x77FF00BFu);  // ((0 - 255) * m + 255 * 256) shr 8
  auto small = FilledBitmap(1, 2, 0);
  BlendTwoBitmaps(t.get(), small.get(), b.get(), 0, nullptr);
  EXPECT_EQ(Px(t.get(), 1, 1), 0x77FF00BFu);  // sizes differ: nothing

  auto p = FilledBitmap(2, 1, 0x10000000);
  SetPixel32(p.get(), 1, 0, 0x00FF00FF);
  MixBitmapWithColor(p.get(), 55, clWhite);
  EXPECT_EQ(Px(p.get(), 0, 0), 0x10C7C7C7u);  // 255 * 200 shr 8
  EXPECT_EQ(Px(p.get(), 1, 0), 0x00FF00FFu);
  auto q = FilledBitmap(1, 1, 0x00804020);
  auto qm = FilledBitmap(1, 1, 0x0000FF00);
  ApplyColorThroughMask(q.get(), qm.get(), clWhite);
  EXPECT_EQ(Px(q.get(), 0, 0), 0x00FF40FFu);  // mask 255 keeps green, mask 0 gives white
}

// Wide rows take the vector path; every pixel must match the per-pixel rule, for both alpha rules.
TEST(SkinBlend, WideRowsMatchThePixelRule) {
  uint32_t seed = 7;
  auto noise = [&](int w, int h) {
    auto b = NewBitmap32(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        seed = seed * 1664525 + 1013904223;
        SetPixel32(b.get(), x, y, seed);
      }
    return b;
  };
  auto s = noise(37, 3), d0 = noise(37, 3);
  auto over = NewBitmap32(37, 3), maxed = NewBitmap32(37, 3);
  CopyBitmapFrom(over.get(), d0.get());
  CopyBitmapFrom(maxed.get(), d0.get());
  const TRect r(0, 0, 37, 3);
  BlendBitmapOver(r, r, over.get(), false, EmptyCI, s.get());
  BlendBitmapOverEx(r, r, maxed.get(), false, 0, clNone, false, EmptyCI, s.get());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 37; ++x) {
      const uint32_t sp = Px(s.get(), x, y), dp = Px(d0.get(), x, y), a = sp >> 24;
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(Chan(Px(over.get(), x, y), k), Mix(Chan(dp, k), Chan(sp, k), a)) << x << "," << y;
        EXPECT_EQ(Chan(Px(maxed.get(), x, y), k), Mix(Chan(dp, k), Chan(sp, k), a)) << x << "," << y;
      }
      EXPECT_EQ(Chan(Px(over.get(), x, y), 3), Chan(dp, 3) + (((255 - Chan(dp, 3)) * a) >> 8)) << x << "," << y;
      EXPECT_EQ(Chan(Px(maxed.get(), x, y), 3), std::max(Chan(dp, 3), a)) << x << "," << y;
    }
}
