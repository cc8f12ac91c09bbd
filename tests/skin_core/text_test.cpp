#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sTextPaint.h"

namespace {

std::unique_ptr<TBitmap> Grey8(int w, int h, uint8_t v) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf8bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) static_cast<uint8_t*>(b->ScanLine(y))[x] = v;
  return b;
}

uint8_t At8(TBitmap* b, int x, int y) { return static_cast<uint8_t*>(b->ScanLine(y))[x]; }

int CountIf(TBitmap* b, const std::function<bool(uint32_t)>& f) {
  int n = 0;
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) n += f(Px(b, x, y));
  return n;
}

}  // namespace

TEST(SkinText, GlowKernelSpreadsADotOrLeavesIt) {
  // Radius 3: weights 1 for |k| <= 3, the outermost cut away, so a dot spreads two pixels.
  auto b = Grey8(11, 11, 255);
  static_cast<uint8_t*>(b->ScanLine(5))[5] = 0;
  BlurBitmap8(b.get(), 3);
  EXPECT_LT(At8(b.get(), 5, 5), 255);
  EXPECT_LT(At8(b.get(), 7, 5), 255);
  EXPECT_EQ(At8(b.get(), 8, 5), 255);
  EXPECT_EQ(At8(b.get(), 5, 8), 255);
  // A radius so small that only the centre weight is 1: nothing moves.
  auto c = Grey8(5, 5, 255);
  static_cast<uint8_t*>(c->ScanLine(2))[2] = 0;
  BlurBitmap8(c.get(), 0);
  EXPECT_EQ(At8(c.get(), 2, 2), 0);
  EXPECT_EQ(At8(c.get(), 3, 2), 255);
}

TEST(SkinText, GlowRaisesAlphaAroundTheTextAndKeepsItsMask) {
  auto b = FilledBitmap(60, 30, 0);
  b->Canvas()->Font()->SetHeight(-12);
  std::unique_ptr<TBitmap> mask;
  DrawTextWithGlow(b.get(), "Glow", TRect(10, 5, 50, 25), mask, 0x00FFFF, 3, 15, 0);
  ASSERT_TRUE(mask);
  EXPECT_GT(CountIf(b.get(), [](uint32_t p) { return (p >> 24) != 0; }), 20);
  EXPECT_EQ(Px(b.get(), 0, 0), 0u);  // far from the text
  TBitmap* kept = mask.get();
  DrawTextWithGlow(b.get(), "Glow", TRect(10, 5, 50, 25), mask, 0x00FFFF, 3, 15, 0);
  EXPECT_EQ(mask.get(), kept);
}

TEST(SkinText, EllipsisFitsOrGivesNothing) {
  auto b = FilledBitmap(10, 10, 0);
  TCanvas* c = b->Canvas();
  c->Font()->SetHeight(-12);
  EXPECT_EQ(EllipsizeText(c, "Text", 0), "");
  EXPECT_EQ(EllipsizeText(c, "Text", 500), "Text");
  const String cut = EllipsizeText(c, "A rather long caption", c->TextWidth("A rather...") + 1);
  ASSERT_GE(cut.size(), 3u);
  EXPECT_EQ(cut.substr(cut.size() - 3), "...");
  EXPECT_LE(c->TextWidth(cut), c->TextWidth("A rather...") + 1);
  EXPECT_EQ(EllipsizeText(c, "Wide", c->TextWidth("...") - 1), "");
}

TEST(SkinText, CanvasTextWithSideCopies) {
  TacSkinRecords s;
  const int i = s.AddNewSection("T", -1, 3, 0, 0xFFFFFF, 0x000000);
  auto plain = FilledBitmap(40, 20, 0xFFFFFFFF);
  plain->Canvas()->Font()->SetHeight(-12);
  DrawSkinTextEx(plain->Canvas(), "Il", true, &s, 0, i, 0, TRect(4, 2, 40, 20));
  const int ink = CountIf(plain.get(), [](uint32_t p) { return (p & 0xFFFFFF) != 0xFFFFFF; });
  EXPECT_GT(ink, 0);
  EXPECT_EQ(CountIf(plain.get(), [](uint32_t p) { return (p & 0xFF0000) > 0x800000 && (p & 0xFF) < 0x80; }), 0);
  s.gd[size_t(i)].Props[0].FontColor.Left = 0x0000FF;  // red copy one pixel to the left
  auto sided = FilledBitmap(40, 20, 0xFFFFFFFF);
  sided->Canvas()->Font()->SetHeight(-12);
  DrawSkinTextEx(sided->Canvas(), "Il", true, &s, 0, i, 0, TRect(4, 2, 40, 20));
  EXPECT_GT(CountIf(sided.get(), [](uint32_t p) { return (p & 0xFF0000) > 0x800000 && (p & 0xFF) < 0x80; }), 0);
  // Empty text draws nothing.
  auto none = FilledBitmap(10, 10, 0xFFFFFFFF);
  DrawSkinTextEx(none->Canvas(), "", true, &s, 0, i, 0, TRect(0, 0, 10, 10));
  EXPECT_EQ(CountIf(none.get(), [](uint32_t p) { return p != 0xFFFFFFFFu; }), 0);
}

TEST(SkinText, ControlTextInTransformedStateColours) {
  TacSkinRecords s;
  const int i = s.AddNewSection("T", -1, 3, 0, 0, 0x0000FF);  // red text
  s.gd[size_t(i)].Props[0].FontColor.Left = 0xFF0000;       // a blue copy to the left
  TsCommonData cd;
  cd.FSkinManager = &s;
  cd.SkinIndex = i;
  EXPECT_EQ(ControlTextColor(0x0000FF, cd), 0x0000FF);
  cd.FColorTone = 0x00FF00;  // green, at each colour's brightness
  EXPECT_EQ(ControlTextColor(0x0000FF, cd), 0x00FE00);
  EXPECT_EQ(ControlTextColor(0xFF0000, cd), 0x00FE00);
  auto draw = [&](bool enabled) {
    auto b = FilledBitmap(40, 20, 0xFF000000);
    b->Canvas()->Font()->SetHeight(-12);
    DrawSkinControlTextEx(b->Canvas(), "Il", enabled, 0, cd, 0, TRect(4, 2, 40, 20));
    return b;
  };
  auto red = [](uint32_t p) { return (p >> 16 & 0xFF) > 0x40; };
  auto green = [](uint32_t p) { return (p >> 8 & 0xFF) > 0x40; };
  auto blue = [](uint32_t p) { return (p & 0xFF) > 0x40; };
  // Enabled: the side copy and the text, both toned green; nothing red or blue.
  auto on = draw(true);
  EXPECT_GT(CountIf(on.get(), green), 0);
  EXPECT_EQ(CountIf(on.get(), red) + CountIf(on.get(), blue), 0);
  // Disabled: no side copy, so less ink.
  auto off = draw(false);
  EXPECT_LT(CountIf(off.get(), green), CountIf(on.get(), green));

  // Not skinned and disabled: embossed, a light copy down and right, then the shadow colour.
  TsCommonData plain;
  auto b = FilledBitmap(40, 20, 0xFF000000);
  b->Canvas()->Font()->SetHeight(-12);
  DrawSkinControlTextEx(b->Canvas(), "Il", false, 0, plain, 0, TRect(4, 2, 40, 20));
  EXPECT_GT(CountIf(b.get(), [](uint32_t p) { return (p & 0xFF) > 0xD8 && (p >> 8 & 0xFF) > 0xD8; }), 0);
  EXPECT_EQ(b->Canvas()->Font()->Color(), clBtnShadow);

  // A hot link button is underlined.
  s.ConstData.Sections[ssWebBtn] = i;
  auto web = FilledBitmap(40, 20, 0xFF000000);
  DrawSkinControlTextEx(web->Canvas(), "Il", true, 1, cd, 0, TRect(4, 2, 40, 20));
  EXPECT_TRUE(web->Canvas()->Font()->Style().Contains(fsUnderline));
}

TEST(SkinText, ControlGlowGoesIntoTheCachedImage) {
  TacSkinRecords s;
  const int i = s.AddNewSection("T", -1, 3, 0, 0, 0xFFFFFF);
  s.gd[size_t(i)].Props[0].GlowSize = 3;
  s.gd[size_t(i)].Props[0].GlowColor = 0x00FFFF;
  TsCommonData cd(nullptr, true);
  cd.FSkinManager = &s;
  cd.SkinIndex = i;
  cd.FCacheBmp = FilledBitmap(40, 24, 0);
  cd.FCacheBmp->Canvas()->Font()->SetHeight(-12);
  DrawSkinControlTextEx(cd.FCacheBmp->Canvas(), "Il", true, 0, cd, 0, TRect(10, 4, 40, 24));
  // The halo raised the alpha left of R, where the text itself never draws.
  int halo = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 10; ++x) halo += Px(cd.FCacheBmp.get(), x, y) >> 24 != 0;
  EXPECT_GT(halo, 0);
}

TEST(SkinText, MeasuringWithOrWithoutADC) {
  auto b = FilledBitmap(60, 20, 0xFFFFFFFF);
  TCanvas* c = b->Canvas();
  c->Font()->SetHeight(-12);
  TSize onCanvas{}, alone{};
  const TSize extent = c->TextExtent("Width");  // the canvas selects its font into its DC
  ASSERT_TRUE(GetTextSize(c->Handle(), "Width", onCanvas, nullptr));
  EXPECT_EQ(onCanvas.cx, extent.cx);
  ASSERT_TRUE(GetTextSize(nullptr, "Width", alone, c->Font()->Handle()));
  EXPECT_EQ(alone.cx, onCanvas.cx);
  EXPECT_EQ(alone.cy, onCanvas.cy);
  DrawTextOnCanvas(c, "Il", 0, TRect(2, 2, 60, 20));
  EXPECT_GT(CountIf(b.get(), [](uint32_t p) { return (p & 0xFFFFFF) != 0xFFFFFF; }), 0);
}

TEST(SkinText, BlurKernelsAreNormalisedAndSymmetric) {
  EXPECT_EQ(MakeBlurKernel(0), std::vector<float>{1.0f});
  for (int radius : {1, 3, 8}) {
    const std::vector<float> k = MakeBlurKernel(radius);
    ASSERT_EQ(k.size() % 2, 1u) << radius;
    float sum = 0;
    for (size_t i = 0; i < k.size(); ++i) {
      sum += k[i];
      EXPECT_FLOAT_EQ(k[i], k[k.size() - 1 - i]) << radius;
    }
    EXPECT_NEAR(sum, 1.0f, 1e-5) << radius;
  }
}
