#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sSkinPaint.h"

namespace {

constexpr uint32_t kKey = 0x00FF00FF;

// A skin made in code: a coded master bitmap and masks added by hand.
struct Skin {
  TacSkinRecords s;
  explicit Skin(int w = 32, int h = 32) { s.MasterBitmap = CodedBitmap(w, h); }
  TsMaskData& AddMask(TRect r, int count, int maskType, int wl, int wt, int wr, int wb, int drawMode = 0) {
    const int i = s.MakeNewItem(0, "M" + std::to_string(s.ma.size()), "X", itisaBorder, r, count, drawMode,
                                int16_t(maskType));
    TsMaskData& m = s.ma[size_t(i)];
    m.WL = int16_t(wl);
    m.WT = int16_t(wt);
    m.WR = int16_t(wr);
    m.WB = int16_t(wb);
    m.Width = r.Width() / count;
    m.Height = maskType == 0 ? r.Height() : r.Height() / (maskType + 1);
    return m;
  }
  int AddSection(int transparency, TColor color) {
    const int i = s.AddNewSection("S" + std::to_string(s.gd.size()), -1, 3, transparency, color, 0);
    s.gd[size_t(i)].BorderIndex = s.gd[size_t(i)].ImgTL = s.gd[size_t(i)].ImgTR = -1;
    s.gd[size_t(i)].ImgBL = s.gd[size_t(i)].ImgBR = s.gd[size_t(i)].OuterMask = -1;
    return i;
  }
  TBitmap* Master() { return s.MasterBitmap.get(); }
};

uint32_t Src(Skin& k, int x, int y) { return Px(k.Master(), x, y); }

}  // namespace

TEST(SkinMaskPaint, NinePartsFromTheFrame) {
  // Two frames of 6 x 6 at (0, 0); borders 2 wide; frame 1 starts at column 6.
  Skin k;
  TsMaskData& m = k.AddMask(TRect(0, 0, 12, 6), 2, 0, 2, 2, 2, 2);
  auto t = FilledBitmap(10, 9, 0xFF000000);
  PaintMask(t.get(), TRect(0, 0, 10, 9), EmptyCI, m, 7, false);  // state 7: the last frame
  EXPECT_EQ(Px(t.get(), 0, 0), Src(k, 6, 0));  // top-left corner
  EXPECT_EQ(Px(t.get(), 9, 0), Src(k, 11, 0));  // top-right
  EXPECT_EQ(Px(t.get(), 0, 8), Src(k, 6, 5));  // bottom-left
  EXPECT_EQ(Px(t.get(), 9, 8), Src(k, 11, 5));
  // The top edge is tiled from the middle columns 8..9: target 2, 3 / 4, 5 / 6, 7 repeat them.
  for (int x = 2; x < 8; ++x) EXPECT_EQ(Px(t.get(), x, 0), Src(k, 8 + (x - 2) % 2, 0)) << x;
  EXPECT_EQ(Px(t.get(), 0, 4), Src(k, 6, 2 + (4 - 2) % 2));  // left edge
  EXPECT_EQ(Px(t.get(), 5, 4), 0xFF000000u);  // no centre without draw mode 4
  m.DrawMode = kMaskPaintCentre;
  PaintMask(t.get(), TRect(0, 0, 10, 9), EmptyCI, m, 0, false);
  EXPECT_EQ(Px(t.get(), 5, 4), Src(k, 2 + 3 % 2, 2 + 2 % 2));

  // State 0 with draw-mode bit 2, and one-pixel targets, paint nothing.
  m.DrawMode = kMaskNotInNormal;
  auto u = FilledBitmap(10, 9, 0xFF000000);
  PaintMask(u.get(), TRect(0, 0, 10, 9), EmptyCI, m, 0, false);
  PaintMask(u.get(), TRect(0, 0, 1, 9), EmptyCI, m, 1, false);
  EXPECT_EQ(Px(u.get(), 0, 0), 0xFF000000u);
  PaintMask(u.get(), TRect(0, 0, 10, 9), EmptyCI, m, 1, false);
  EXPECT_EQ(Px(u.get(), 0, 0), Src(k, 6, 0));
}

TEST(SkinMaskPaint, CornersShrinkByHalvesAndKeysFollowTheParent) {
  Skin k;
  TsMaskData& m = k.AddMask(TRect(0, 0, 10, 10), 1, 0, 4, 1, 4, 1);
  auto t = FilledBitmap(5, 4, 0xFF000000);
  PaintMask(t.get(), TRect(0, 0, 5, 4), EmptyCI, m, 0, false);
  // Excess 3: left corner 3 wide, right corner 2 (the odd pixel), middle source width 10 - 5.
  EXPECT_EQ(Px(t.get(), 2, 0), Src(k, 2, 0));
  EXPECT_EQ(Px(t.get(), 3, 0), Src(k, 8, 0));
  EXPECT_EQ(Px(t.get(), 4, 0), Src(k, 9, 0));

  // Key pixels of corners: EmptyCI writes the key back; a ready parent with UpdateCorners gives its pixel.
  SetPixel32(k.Master(), 0, 0, kKey);
  k.s.ma[0].CornerType = 1;
  auto a = FilledBitmap(8, 8, 0xFF000000);
  PaintMask(a.get(), TRect(0, 0, 8, 8), EmptyCI, m, 0, false);
  EXPECT_EQ(Px(a.get(), 0, 0) & 0xFFFFFF, kKey & 0xFFFFFF);
  auto parent = FilledBitmap(20, 20, 0xFF123456);
  TCacheInfo ci;
  MakeCacheInfo(parent.get(), 3, 3, ci);
  PaintMask(a.get(), TRect(0, 0, 8, 8), ci, m, 0, true);
  EXPECT_EQ(Px(a.get(), 0, 0), 0xFF123456u);
}

TEST(SkinMaskPaint, MaskRowsLieOneFrameHeightBelowForEveryMaskType) {
  // Every masked type n: a 4-row picture, its mask one picture height below (0: show
  // the picture), and further parts below that saying "keep" (255); a half-way
  // split of R would mix the two. (Type 0 images have no mask rows: keyed copies.)
  for (int type = 1; type <= 3; ++type) {
    const int h = 4 * (type + 1);
    Skin k(8, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < 8; ++x)
        SetPixel32(k.Master(), x, y, y < 4 ? 0xFF3060A0u : (y < 8 ? 0xFF000000u : 0xFFFFFFFFu));
    TsMaskData& m = k.AddMask(TRect(0, 0, 8, h), 1, type, 1, 1, 1, 1);
    ASSERT_EQ(m.Height, 4) << type;
    auto t = FilledBitmap(8, 4, 0xFF000000);
    CopyMaskedPiece(TRect(0, 0, 8, 4), TRect(0, 0, 8, 4), t.get(), m, false, EmptyCI, k.Master());
    for (int y = 0; y < 4; ++y) EXPECT_EQ(Px(t.get(), 3, y) & 0xFFFFFF, 0x3060A0u) << type << " row " << y;
    auto u = FilledBitmap(8, 4, 0x00000000);
    CopyMaskedPiece32(TRect(0, 0, 8, 4), TRect(0, 0, 8, 4), u.get(), m, EmptyCI, k.Master());
    // The red-mask blend truncates (c * 255 shr 8); alpha 0 becomes 255 - m.
    EXPECT_EQ(Px(u.get(), 3, 3), 0xFF000000u | (0x30 * 255 >> 8) << 16 | (0x60 * 255 >> 8) << 8 | (0xA0 * 255 >> 8))
        << type;
  }
}

TEST(SkinMaskPaint, BlendedOuterEffectKeepsOpacityAndThinEdges) {
  // A masked image (type 1) of one 8 x 6 frame: coded picture rows 0..5, mask rows 6..11 showing it fully,
  // but 128 under the picture pixel (1, 1). Borders 3 wide, 2 high; the edges are painted 1 thick.
  Skin k(8, 12);
  for (int y = 6; y < 12; ++y)
    for (int x = 0; x < 8; ++x) SetPixel32(k.Master(), x, y, 0xFF000000);
  SetPixel32(k.Master(), 1, 7, 0xFF808080);
  TsMaskData& m = k.AddMask(TRect(0, 0, 8, 12), 1, 1, 3, 2, 3, 2);
  auto t = FilledBitmap(20, 20, 0x00000000);
  PaintMaskBlended(t.get(), TRect(0, 0, 20, 20), EmptyCI, 128, TRect(1, 1, 1, 1), 0, m);
  // The picture's weight is (255 - m) x 128 shr 8 over a black target; alpha 0 becomes 255 - m.
  auto blended = [&](int sx, int sy, int mv) {
    const uint32_t p = Src(k, sx, sy);
    const int v = ((255 - mv) * 128) >> 8;
    auto c = [&](int shift) { return ((p >> shift & 0xFF) * uint32_t(v)) >> 8 << shift; };
    return uint32_t(255 - mv) << 24 | c(16) | c(8) | c(0);
  };
  EXPECT_EQ(Px(t.get(), 0, 0), blended(0, 0, 0));      // corners at full size
  EXPECT_EQ(Px(t.get(), 1, 1), blended(1, 1, 128));
  EXPECT_EQ(Px(t.get(), 19, 19), blended(7, 5, 0));
  EXPECT_EQ(Px(t.get(), 0, 4), blended(0, 2, 0));      // left edge: the outermost column
  EXPECT_EQ(Px(t.get(), 19, 4), blended(7, 2, 0));     // right edge: the frame's last column
  EXPECT_EQ(Px(t.get(), 5, 0), blended(3, 0, 0));      // top edge: the first row
  EXPECT_EQ(Px(t.get(), 5, 19), blended(3, 5, 0));     // bottom edge: the picture's last row
  for (auto [x, y] : {std::pair{1, 4}, {18, 4}, {5, 1}, {5, 18}, {10, 10}})
    EXPECT_EQ(Px(t.get(), x, y), 0u) << x << "," << y;  // inside the thin edges, and no centre

  // Stretched edges keep the opacity where the mask shows the picture fully, as the corners do.
  m.DrawMode = kMaskStretch;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) SetPixel32(k.Master(), x, y, 0xFFC08040);
  auto u = FilledBitmap(20, 20, 0xFF000000);
  PaintMaskBlended(u.get(), TRect(0, 0, 20, 20), EmptyCI, 128, TRect(1, 1, 1, 1), 1, m);
  EXPECT_EQ(Px(u.get(), 0, 10), 0xFF5F3F1Fu);
  EXPECT_EQ(Px(u.get(), 0, 10), Px(u.get(), 0, 0));
  EXPECT_EQ(Px(u.get(), 1, 10), 0xFF000000u);

  // Key-colour images paint as PaintMask, their corners always over the parent.
  Skin kk;
  TsMaskData& keyed = kk.AddMask(TRect(0, 0, 10, 10), 1, 0, 3, 3, 3, 3);
  SetPixel32(kk.Master(), 0, 0, kKey);
  auto parent = FilledBitmap(20, 20, 0xFF123456);
  TCacheInfo ci;
  MakeCacheInfo(parent.get(), 2, 2, ci);
  auto w = FilledBitmap(10, 10, 0xFF000000);
  PaintMaskBlended(w.get(), TRect(0, 0, 10, 10), ci, 128, TRect(1, 1, 1, 1), 0, keyed);
  EXPECT_EQ(Px(w.get(), 0, 0), 0xFF123456u);
  EXPECT_EQ(Px(w.get(), 1, 5), Src(kk, 1, 3 + (5 - 3) % 4));  // key-colour edges keep their full width
}

TEST(SkinMaskPaint, FramesAndTransparentCornerRuns) {
  Skin k;
  TsMaskData& m = k.AddMask(TRect(0, 0, 12, 6), 2, 0, 3, 2, 3, 2);
  SetPixel32(k.Master(), 0, 0, kKey);
  SetPixel32(k.Master(), 1, 0, kKey);
  SetPixel32(k.Master(), 5, 5, kKey);
  auto t = FilledBitmap(10, 10, 0xFF000000);
  TCacheInfo ci;
  MakeCacheInfo(t.get(), 0, 0, ci);
  PaintMaskFrame(t.get(), TPoint(2, 3), 1, ci, m, 1);
  EXPECT_EQ(Px(t.get(), 2, 3), Src(k, 6, 0));
  EXPECT_EQ(Px(t.get(), 7, 8), Src(k, 11, 5));
  std::vector<TRect> runs;
  GetMaskTransparentRects(runs, 100, m, false, 10);
  GetMaskTransparentRects(runs, 100, m, true, 50);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], TRect(0, 10, 2, 11));
  EXPECT_EQ(runs[1], TRect(99, 51, 100, 52));  // column 5 of the 6-wide frame, against the right edge
}

TEST(SkinSectionPaint, TransparencyOverTheParent) {
  Skin k;
  auto parent = CodedBitmap(30, 30, 0x55);
  TCacheInfo ready;
  MakeCacheInfo(parent.get(), 4, 5, ready);
  TCacheInfo colour = EmptyCI;
  colour.FillColor = 0x0000C8;  // red 200
  struct Case {
    int transparency;
    const TCacheInfo* ci;
  } cases[] = {{0, &ready}, {100, &ready}, {40, &colour}};
  for (const Case& c : cases) {
    const int s = k.AddSection(c.transparency, 0x000064);  // red 100
    auto t = FilledBitmap(10, 10, 0);
    PaintSectionBg(s, *c.ci, 0, TRect(2, 2, 8, 8), TPoint(1, 1), t.get(), &k.s, -1, -1, clFuchsia);
    const uint32_t p = Px(t.get(), 3, 3);
    if (c.transparency == 0) {
      EXPECT_EQ(p, 0xFF640000u);
    } else if (c.transparency == 100) {
      EXPECT_EQ(p, Px(parent.get(), 4 + 1 + 1, 5 + 1 + 1));  // parent pixels, exactly
    } else {
      EXPECT_EQ((p >> 16) & 0xFF, uint32_t((200 * 102 + 100 * 153) >> 8));  // 40 % parent colour
    }
    EXPECT_EQ(Px(t.get(), 1, 1), 0u);  // outside R
  }
  // The parent's cache is the target itself: nothing is copied.
  const int s = k.AddSection(100, 0);
  auto self = CodedBitmap(10, 10);
  TCacheInfo own;
  MakeCacheInfo(self.get(), 0, 0, own);
  PaintSectionBg(s, own, 0, TRect(0, 0, 5, 5), TPoint(3, 3), self.get(), &k.s, -1, -1, clFuchsia);
  EXPECT_EQ(Px(self.get(), 1, 1), Px(CodedBitmap(10, 10).get(), 1, 1));
}

TEST(SkinSectionPaint, CombinedPassAlphaFollowsTransparency) {
  // 30 % texture, 70 % gradient, a draw-mode 0 texture: one combined pass whose alpha is
  // (100 - T) * 255 div 100 (153 at T = 40), not a rounded fraction times 255.
  Skin k;
  TsMaskData& tex = k.AddMask(TRect(0, 0, 4, 4), 1, 0, 0, 0, 0, 0);
  tex.ImgType = itisaTexture;
  for (int t : {40, 0}) {
    const int s = k.AddSection(t, 0x808080);
    TsGenState& st = k.s.gd[size_t(s)].Props[0];
    st.ImagePercent = 30;
    st.GradientPercent = 70;
    st.TextureIndex = 0;
    PrepareGradArray("$000000;0;0;$FFFFFF;100;0;B", st.GradientArray);
    auto b = FilledBitmap(6, 6, 0);
    PaintSectionToBitmap32(s, 0, &k.s, b.get(), TPoint(), TRect(0, 0, 6, 6));
    EXPECT_EQ(Px(b.get(), 2, 2) >> 24, uint32_t((100 - t) * 255 / 100)) << t;
  }
}

TEST(SkinSectionPaint, CornerImagesSitAtTheRectanglesCorners) {
  Skin k;
  TsMaskData& corner = k.AddMask(TRect(20, 20, 23, 22), 1, 0, 0, 0, 0, 0);  // 3 x 2
  (void)corner;
  const int s = k.AddSection(0, 0x000000);
  k.s.gd[size_t(s)].ImgBL = 0;
  k.s.gd[size_t(s)].ImgTR = 0;
  auto b = FilledBitmap(20, 20, 0);
  PaintSkinItem(s, EmptyCI, -1, -1, &k.s, b.get(), TPoint(), TRect(5, 4, 15, 12), 0);
  EXPECT_EQ(Px(b.get(), 5, 10), Src(k, 20, 20));   // bottom-left at the rectangle's left edge
  EXPECT_EQ(Px(b.get(), 0, 10), 0u);
  EXPECT_EQ(Px(b.get(), 12, 4), Src(k, 20, 20));   // top-right
  EXPECT_EQ(Px(b.get(), 6, 6), 0xFF000000u);       // background
}

TEST(SkinControlPaint, BackgroundBorderAndTransformsOfAControl) {
  Skin k;
  const int sec = k.AddSection(0, 0x0000FF);  // red
  k.AddMask(TRect(0, 0, 6, 6), 1, 0, 2, 2, 2, 2);
  SetPixel32(k.Master(), 0, 0, kKey);
  TsCommonData cd;
  cd.FSkinManager = &k.s;
  cd.SkinIndex = sec;
  cd.BorderIndex = 0;
  const TRect all(0, 0, 10, 10);
  auto b = FilledBitmap(10, 10, 0);
  PaintControlItem(cd, EmptyCI, b.get(), TPoint(0, 0), all, 0, false);
  EXPECT_EQ(Px(b.get(), 5, 5), 0xFFFF0000u);   // the section's colour
  EXPECT_EQ(Px(b.get(), 1, 1), Src(k, 1, 1));  // the border
  EXPECT_EQ(Px(b.get(), 0, 0), 0xFF000000 | kKey);  // a key corner without the parent, opaque as what it covered

  // A green tone takes every pixel to green at its brightness; key pixels are spared, opaque or not.
  cd.FColorTone = 0x00FF00;
  PaintControlItem(cd, EmptyCI, b.get(), TPoint(0, 0), all, 0, false);
  EXPECT_EQ(Px(b.get(), 5, 5), 0xFF00FE00u);
  EXPECT_EQ(Px(b.get(), 0, 0), 0xFF000000 | kKey);
  cd.FColorTone = kNoColorTone;

  // A control with a custom colour paints in its own colour.
  TControl owner(nullptr);
  owner.SetColor(TColor(0x00FF00));
  TsCommonData custom(&owner);
  custom.FSkinManager = &k.s;
  custom.SkinIndex = sec;
  custom.FCustomColor = true;
  PaintControlItem(custom, EmptyCI, b.get(), TPoint(0, 0), all, 0, false);
  EXPECT_EQ(Px(b.get(), 5, 5), 0xFF00FF00u);

  // A transparent control whose border does not show in state 0 keeps its parent's pixels untoned.
  k.s.gd[size_t(sec)].Props[0].Transparency = 100;
  k.s.ma[0].DrawMode = kMaskNotInNormal;
  cd.FColorTone = 0x00FF00;
  auto parent = FilledBitmap(20, 20, 0xFF204060);
  TCacheInfo ci;
  MakeCacheInfo(parent.get(), 4, 4, ci);
  PaintControlItem(cd, ci, b.get(), TPoint(0, 0), all, 0, false);
  EXPECT_EQ(Px(b.get(), 0, 0), 0xFF204060u);
  EXPECT_EQ(Px(b.get(), 5, 5), 0xFF204060u);

  // A rectangle reaching outside the bitmap paints nothing.
  auto c = FilledBitmap(10, 10, 0);
  PaintControlItem(cd, ci, c.get(), TPoint(0, 0), TRect(0, 0, 11, 10), 0, false);
  EXPECT_EQ(Px(c.get(), 5, 5), 0u);
}

TEST(SkinTextures, FillModesAndWhatRemains) {
  Skin k(64, 64);
  TsMaskData& tex = k.AddMask(TRect(0, 0, 10, 10), 1, 0, 0, 0, 0, 0);
  struct Case {
    int mode;
    TRect rect, remaining;
    TPoint probe, from;  // a target pixel and the master pixel it shows
  } cases[] = {
      {6, TRect(0, 0, 30, 100), TRect(0, 0, 30, 90), TPoint(3, 92), TPoint(3, 2)},
      {0, TRect(0, 0, 25, 25), TRect(-1, -1, -1, -1), TPoint(23, 24), TPoint(3, 4)},
      {3, TRect(0, 0, 30, 30), TRect(10, 0, 30, 30), TPoint(3, 14), TPoint(3, 4)},
      {13, TRect(0, 0, 6, 10), TRect(-1, -1, -1, -1), TPoint(0, 0), TPoint(4, 0)},  // the right part only
  };
  for (const Case& c : cases) {
    auto t = FilledBitmap(40, 110, 0);
    TRect r = c.rect;
    TileTexture(t->Canvas(), r, nullptr, uint8_t(c.mode), tex);
    EXPECT_EQ(r, c.remaining) << c.mode;
    EXPECT_EQ(Px(t.get(), c.probe.X, c.probe.Y), Src(k, c.from.X, c.from.Y)) << c.mode;
  }
  // Mode 10 of a masked texture on a rectangle narrower than a tile: all parent background.
  TsMaskData& masked = k.AddMask(TRect(0, 0, 10, 20), 1, 1, 0, 0, 0, 0);
  auto parent = FilledBitmap(40, 40, 0xFF0A0B0C);
  TCacheInfo ci;
  MakeCacheInfo(parent.get(), 0, 0, ci);
  auto t = FilledBitmap(20, 20, 0);
  TRect r(2, 2, 8, 18);
  TileMaskedTexture(t.get(), r, ci, 10, masked);
  EXPECT_EQ(Px(t.get(), 2, 2), 0xFF0A0B0Cu);
  EXPECT_EQ(Px(t.get(), 7, 17), 0xFF0A0B0Cu);
  EXPECT_EQ(Px(t.get(), 8, 17), 0u);
}

TEST(SkinCornerGaps, TemplateFillsWhereTheBorderIsTransparent) {
  auto templ = FilledBitmap(8, 8, 0x80ABCDEF);
  auto dest = FilledBitmap(8, 8, 0xFF000000);
  SetPixel32(dest.get(), 1, 1, 0x7FFF00FF);
  FillBorderCornerGaps(dest.get(), templ.get(), TRect(0, 0, 4, 4), 13, nullptr, -1, TPoint(0, 0));
  EXPECT_EQ(Px(dest.get(), 1, 1), 0x80ABCDEFu);  // the key after its alpha is cleared
  EXPECT_EQ(Px(dest.get(), 2, 2), 0x00000000u);  // alpha cleared, colour kept

  // With a border mask: the bottom-left corner's key pixels pick the template.
  Skin k;
  TsMaskData& m = k.AddMask(TRect(0, 0, 6, 6), 1, 0, 2, 2, 2, 2);
  SetPixel32(k.Master(), 0, 5, kKey);
  auto d2 = FilledBitmap(8, 8, 0xFF000000);
  FillBorderCornerGaps(d2.get(), templ.get(), TRect(3, 3, 5, 5), 16, &k.s, 0, TPoint(0, 0));
  EXPECT_EQ(Px(d2.get(), 3, 4), 0x80ABCDEFu);  // corner origin (0, 4): pixel (0, 1) of the corner
  EXPECT_EQ(Px(d2.get(), 3, 3), 0xFF000000u);
  (void)m;
}

TEST(SkinText, SideColoursAndEmptyText) {
  Skin k;
  const int s = k.AddSection(0, 0xFFFFFF);
  TsFontColor& fc = k.s.gd[size_t(s)].Props[0].FontColor;
  fc.Color = 0x000000;
  auto plain = FilledBitmap(40, 20, 0xFFFFFFFF);
  plain->Canvas()->Font()->SetHeight(-12);
  DrawSkinTextToBitmap(plain.get(), "", true, &k.s, 0, s, 0, TRect(0, 0, 40, 20));
  EXPECT_EQ(Px(plain.get(), 5, 5), 0xFFFFFFFFu);
  DrawSkinTextToBitmap(plain.get(), "Il", false, &k.s, 0, s, 0, TRect(2, 2, 40, 20));
  // The same text through the 32-bit text routine: the same pixels.
  auto direct = FilledBitmap(40, 20, 0xFFFFFFFF);
  direct->Canvas()->Font()->SetHeight(-12);
  DrawTextToBitmap32(direct.get(), "Il", false, false, 0, 0, TRect(2, 2, 40, 20));
  int inked = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      ASSERT_EQ(Px(plain.get(), x, y), Px(direct.get(), x, y));
      inked += Px(plain.get(), x, y) != 0xFFFFFFFFu;
    }
  EXPECT_GT(inked, 0);
  // A left side colour adds ink one pixel further left than the text's own.
  fc.Left = 0x0000FF;
  auto sided = FilledBitmap(40, 20, 0);
  sided->Canvas()->Font()->SetHeight(-12);
  DrawSkinTextToBitmap(sided.get(), "Il", true, &k.s, 0, s, 0, TRect(2, 2, 40, 20));
  auto leftmost = [](TBitmap* b) {
    for (int x = 0; x < 40; ++x)
      for (int y = 0; y < 20; ++y)
        if (Px(b, x, y) >> 24) return x;
    return -1;
  };
  fc.Left = -1;
  auto alone = FilledBitmap(40, 20, 0);
  alone->Canvas()->Font()->SetHeight(-12);
  DrawSkinTextToBitmap(alone.get(), "Il", true, &k.s, 0, s, 0, TRect(2, 2, 40, 20));
  EXPECT_EQ(leftmost(sided.get()), leftmost(alone.get()) - 1);
}

TEST(SkinSectionPaint, ParentAnswersAndItemsOverADC) {
  // A parent's answer as the record painters take.
  auto parent = FilledBitmap(20, 20, 0xFF102030);
  TacBackgroundInfo bitmap;
  bitmap.BgType = 2;
  bitmap.Bmp = parent.get();
  bitmap.Offset = TPoint(3, 4);
  const TCacheInfo ready = CacheInfoFromBgInfo(bitmap);
  EXPECT_TRUE(ready.Ready);
  EXPECT_EQ(ready.Bmp, parent.get());
  EXPECT_EQ(ready.X, 3);
  EXPECT_EQ(ready.Y, 4);
  EXPECT_EQ(ready.FillColor, clFuchsia);
  TacBackgroundInfo colour;
  colour.BgType = 1;
  colour.Color = clBtnFace;
  colour.FillRect = TRect(1, 2, 3, 4);
  const TCacheInfo plain = CacheInfoFromBgInfo(colour);
  EXPECT_FALSE(plain.Ready);
  EXPECT_EQ(plain.FillColor, TColor(ColorToRGB(clBtnFace)));
  EXPECT_EQ(plain.FillRect, TRect(1, 2, 3, 4));

  // Items over a DC's content (a transparent section shows it) or over a colour.
  Skin k;
  const int clear = k.AddSection(100, 0);
  auto b = FilledBitmap(4, 4, 0xFF000000);
  EXPECT_LT(PaintSkinItemToDC(b.get(), -1, -1, nullptr, 0, TRect(0, 0, 4, 4), &k.s, 0), 0);
  EXPECT_EQ(Px(b.get(), 1, 1), 0xFF000000u);
  EXPECT_EQ(PaintSkinItemToDC(b.get(), -1, clear, parent->Canvas()->Handle(), 0, TRect(5, 5, 9, 9), &k.s, 0), clear);
  EXPECT_EQ(Px(b.get(), 1, 1), 0xFF102030u);
  EXPECT_EQ(PaintSkinItemToDC(b.get(), clear, -1, nullptr, TColor(0x0000FF), TRect(0, 0, 4, 4), &k.s, 0), clear);
  EXPECT_EQ(Px(b.get(), 1, 1), 0xFFFF0000u);
}

TEST(SkinScrollPaint, ScrollElementLayersTransparencyAndMask) {
  Skin k;
  TsMaskData& tex = k.AddMask(TRect(0, 0, 4, 4), 1, 0, 0, 0, 0, 0, 2);  // mode 2: one row of tiles at the top
  tex.ImgType = itisaTexture;
  k.AddMask(TRect(0, 8, 6, 14), 1, 0, 2, 2, 2, 2);  // mask 1: a border
  auto parent = CodedBitmap(30, 30, 0x55);
  TCacheInfo ready;
  MakeCacheInfo(parent.get(), 4, 5, ready);
  TCacheInfo loose = EmptyCI;
  loose.FillColor = 0x0000C8;  // red 200
  const TRect R(2, 2, 8, 9);
  const TPoint off(1, 1);
  auto parentAt = [&](int x, int y) { return Px(parent.get(), 4 + 1 + x - R.Left, 5 + 1 + y - R.Top); };
  struct Case {
    const char* name;
    int transparency, imagePercent, maskIndex;
    const TCacheInfo* ci;
    TRect r;
  } cases[] = {
      {"outside", 0, 0, -1, &ready, TRect(3, 3, 11, 8)},  // one column beyond
      {"opaque", 0, 0, -1, &ready, R},
      {"blended", 40, 0, -1, &ready, R},
      {"parent only", 100, 0, -1, &ready, R},
      {"parent colour", 100, 0, -1, &loose, R},
      {"texture then colour below it", 0, 50, -1, &EmptyCI, R},
      {"mask", 0, 0, 1, &ready, R},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int s = k.AddSection(c.transparency, 0x000020);  // red 32
    TsGenState& last = k.s.gd[size_t(s)].Props[2];
    last.ImagePercent = c.imagePercent;
    last.TextureIndex = 0;
    auto t = FilledBitmap(10, 10, 0);
    PaintScrollElement(s, -1, c.maskIndex, &k.s, t.get(), off, c.r, 7, *c.ci);  // state 7 clamps to the last
    const uint32_t p = Px(t.get(), 4, 6);
    switch (c.transparency) {
      case 40:  // 40 % of the parent shows through: weight 40 * 255 div 100 toward it
        EXPECT_EQ((p >> 16) & 0xFF, uint32_t(0x20 + ((102 * (0x55 - 0x20)) >> 8)));
        break;
      case 100:
        EXPECT_EQ(p, c.ci == &ready ? parentAt(4, 6) : 0xFFC80000u);
        break;
      default:
        if (!c.imagePercent) {
          EXPECT_EQ(p, c.r == R ? 0xFF200000u : 0u);
        }
    }
    if (c.imagePercent) {
      // The colour share works below the texture row only; the row keeps the texture's pixels.
      EXPECT_EQ(Px(t.get(), 3, 2), Src(k, 1, 0));
      EXPECT_NEAR(int((p >> 16) & 0xFF), 0x20, 1);
    }
    if (c.maskIndex >= 0) {
      EXPECT_EQ(Px(t.get(), 2, 2), Src(k, 0, 8));
    }
    EXPECT_EQ(Px(t.get(), 1, 1), 0u);  // outside R
  }
}
