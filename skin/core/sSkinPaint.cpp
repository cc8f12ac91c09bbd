#include "skin/core/sSkinPaint.h"

#include <algorithm>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sCommonData.h"

using namespace skin_detail;

namespace {

constexpr TRect kNothingLeft(-1, -1, -1, -1);

int Weight(int Percent) { return Percent * 255 / 100; }

bool Inside(const TRect& R, TBitmap* Bmp) {
  return Bmp && R.Left >= 0 && R.Top >= 0 && R.Right <= Bmp->Width() && R.Bottom <= Bmp->Height() &&
         R.Right > R.Left && R.Bottom > R.Top;
}

TCacheInfo Moved(const TCacheInfo& CI, const TPoint& Offset) {
  TCacheInfo c = CI;
  c.X += Offset.X;
  c.Y += Offset.Y;
  return c;
}

void FillColor32(TBitmap* Bmp, const TRect& R, TColor Color) {
  if (Bmp->PixelFormat() == pf32bit)
    FillRect32(Bmp, R, Color, 255);
  else
    PaintSolidRect(Bmp->Canvas()->Handle(), R, Color);
}

// Copies W x H from (SX, SY) of Src to (X, Y) of Dst.
void Blit(TBitmap* Dst, int X, int Y, int W, int H, TBitmap* Src, int SX, int SY) {
  if (W > 0 && H > 0) BitBlt(Dst->Canvas()->Handle(), X, Y, W, H, Src->Canvas()->Handle(), SX, SY, SRCCOPY);
}

// A section state's layers: colour, texture and gradient shares, transparency.
struct Layers {
  TColor Color = 0;
  int T = 0, IP = 0, GP = 0;
  int TextureIndex = -1;
  const TsGradArray* Gradient = nullptr;
  bool Overlay = false;
  uint8_t CombinedAlpha = 255;
};

const TsGradArray kNoGradient;

Layers ReadLayers(const TsGenState& st, TColor CustomColor, int TextureIndex) {
  Layers l;
  l.Gradient = &kNoGradient;
  l.TextureIndex = TextureIndex;
  if (CustomColor != clFuchsia) {
    l.Color = CustomColor;
    return l;
  }
  l.Color = st.Color;
  l.T = st.Transparency;
  l.Overlay = !st.GradientArray.empty() && (st.GradientArray[0].Mode & 0x20);
  if (l.T < 100) {
    l.IP = st.ImagePercent;
    l.GP = l.Overlay ? 0 : st.GradientPercent;
    if (l.IP > 0 && l.TextureIndex < 0) l.TextureIndex = st.TextureIndex;
  }
  if (l.GP > 0 || l.Overlay) l.Gradient = &st.GradientArray;
  return l;
}

// The colour or gradient of a rectangle: the gradient when there is one.
void GradientOrColor(TBitmap* Bmp, const TRect& R, const Layers& l) {
  if (!l.Gradient->empty())
    FillGradient(Bmp, R, *l.Gradient);
  else
    FillColor32(Bmp, R, l.Color);
}

// The texture share into Rc: returns what the texture left uncovered, already
// filled with the colour (kNothingLeft: it covered everything).
TRect FillTextureShare(const TacSkinRecords& S, TBitmap* Bmp, const TRect& Rc, const TCacheInfo& CI, const Layers& l) {
  TRect rest = Rc;
  if (S.IsValidImgIndex(l.TextureIndex)) {
    const TsMaskData& tex = S.ma[size_t(l.TextureIndex)];
    if (tex.MaskType != 0)
      TileMaskedTexture(Bmp, rest, CI, uint8_t(tex.DrawMode), tex);
    else
      TileTexture(Bmp->Canvas(), rest, nullptr, uint8_t(tex.DrawMode), tex);
  }
  if (rest.Right != -1) FillColor32(Bmp, rest, l.Color);
  return rest;
}

// The gradient share into Rc, over the texture when there is one.
void FillGradientShare(TBitmap* Bmp, const TRect& Rc, const Layers& l) {
  if (l.GP <= 0) return;
  if (l.IP > 0) {
    auto grad = NewBitmap32(Rc.Width(), Rc.Height());
    GradientOrColor(grad.get(), TRect(0, 0, Rc.Width(), Rc.Height()), l);
    BlendBitmapRect(Bmp, grad.get(), uint8_t(std::clamp(Weight(l.IP), 0, 255)), TPoint(Rc.Left, Rc.Top),
                    TRect(0, 0, Rc.Width() - 1, Rc.Height() - 1));
  } else {
    GradientOrColor(Bmp, Rc, l);
  }
}

// Mixes the colour into what the texture and gradient shares left, keeping their sum.
void BlendColorShare(TBitmap* Bmp, const TRect& Rc, const Layers& l) {
  const int sum = l.IP + l.GP;
  BlendRectWithColor(Bmp, TRect(Rc.Left, Rc.Top, Rc.Right - 1, Rc.Bottom - 1), uint8_t(Weight(sum)), l.Color);
}

// Texture, gradient and colour of a section state into Rc of Bmp. SolidFill
// paints the colour when no texture or gradient share is set.
template <class SolidFill>
void FillLayers(const TacSkinRecords& S, TBitmap* Bmp, const TRect& Rc, const TCacheInfo& CI, const Layers& l,
                SolidFill&& solid) {
  const bool validTex = S.IsValidImgIndex(l.TextureIndex);
  const TsMaskData* tex = validTex ? &S.ma[size_t(l.TextureIndex)] : nullptr;
  if (l.IP + l.GP == 100 && l.GP >= 1 && l.GP <= 99 && tex && tex->DrawMode == 0 && !l.Gradient->empty() &&
      (*l.Gradient)[0].Mode < 2) {
    FillGradientTextured(Bmp, Rc, *l.Gradient, l.CombinedAlpha, uint8_t(Weight(l.IP)), tex->R,
                         S.MaskBitmap(l.TextureIndex));
    return;
  }
  if (l.IP > 0) FillTextureShare(S, Bmp, Rc, CI, l);
  FillGradientShare(Bmp, Rc, l);
  const int sum = l.IP + l.GP;
  if (sum > 0 && sum < 100)
    BlendColorShare(Bmp, Rc, l);
  else if (sum == 0)
    solid();
}

// A scroll element's layers: no combined pass, and the gradient and colour
// cover only what a texture left uncovered. Fill is the plain colour.
void FillScrollLayers(const TacSkinRecords& S, TBitmap* Bmp, const TRect& Rc, const TCacheInfo& CI, const Layers& l,
                      TColor Fill) {
  TRect area = Rc;
  if (l.IP > 0) {
    const TRect rest = FillTextureShare(S, Bmp, Rc, CI, l);
    if (rest.Right != -1) area = rest;
  }
  if (area.Width() <= 0 || area.Height() <= 0) return;
  FillGradientShare(Bmp, area, l);
  const int sum = l.IP + l.GP;
  if (sum > 0 && sum < 100)
    BlendColorShare(Bmp, area, l);
  else if (sum != 100)
    FillColor32(Bmp, area, Fill);
}

const TsGenState& StateOf(const TsGeneralData& g, int& State) {
  State = std::clamp(std::min(State, g.States - 1), 0, 2);
  return g.Props[size_t(State)];
}

// Copies the parent under R: from CI's bitmap at R's offset (not when it is Bmp itself), else its colour.
void ParentUnder(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, const TPoint& Offset) {
  if (CI.Ready && CI.Bmp) {
    if (CI.Bmp != Bmp) Blit(Bmp, R.Left, R.Top, R.Width(), R.Height(), CI.Bmp, CI.X + Offset.X, CI.Y + Offset.Y);
  } else {
    FillColor32(Bmp, R, CI.FillColor);
  }
}

// The layers FillInto paints into a temporary bitmap, blended over the parent
// under R so that T % of the parent shows through.
template <class Fill>
void LayersOverParent(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, const TPoint& Offset, int T, Fill&& FillInto) {
  auto layers = NewBitmap32(R.Width(), R.Height());
  FillInto(layers.get(), TRect(0, 0, R.Width(), R.Height()));
  ParentUnder(Bmp, R, CI, Offset);
  BlendBitmapRect(Bmp, layers.get(), uint8_t(Weight(T)), TPoint(R.Left, R.Top),
                  TRect(0, 0, R.Width() - 1, R.Height() - 1));
}

// Transparency 100 over a parent image that is not ready: its border strips are copied, the rest filled.
void ParentBorderStrips(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, const TPoint& Offset) {
  const TRect& f = CI.FillRect;
  const TRect P(Offset.X, Offset.Y, Offset.X + R.Width(), Offset.Y + R.Height());
  const int bw = CI.Bmp->Width(), bh = CI.Bmp->Height();
  const int FL = f.Left - CI.X > 0 && P.Left < f.Left ? f.Left - P.Left : 0;
  const int FT = f.Top - CI.Y > 0 && P.Top < f.Top ? f.Top - P.Top : 0;
  const int FR = f.Right > 0 && bw - f.Right < P.Right && P.Right < bw ? P.Right + f.Right - bw : 0;
  const int FB = f.Bottom > 0 && bh - f.Bottom < P.Bottom && P.Bottom < bh ? P.Bottom + f.Bottom - bh : 0;
  Blit(Bmp, R.Left, R.Top, FL, R.Height(), CI.Bmp, CI.X + Offset.X, CI.Y + Offset.Y);
  Blit(Bmp, R.Left, R.Top, R.Width(), FT, CI.Bmp, CI.X + Offset.X, CI.Y + Offset.Y);
  Blit(Bmp, R.Right - FR, R.Top, FR, R.Height(), CI.Bmp, CI.X + P.Right - FR, CI.Y + Offset.Y);
  Blit(Bmp, R.Left, R.Bottom - FB, R.Width(), FB, CI.Bmp, CI.X + Offset.X, CI.Y + P.Bottom - FB);
  FillRect32(Bmp, TRect(R.Left + FL, R.Top + FT, R.Right - FR, R.Bottom - FB), CI.FillColor, 255);
}

}  // namespace

void TileTexture(TCanvas* Canvas, TRect& Rect, TBitmap*, uint8_t Mode, const TsMaskData& Mask) {
  if (!Canvas || !Mask.Manager) return;
  TBitmap* image = Mask.Bmp ? Mask.Bmp.get() : Mask.Manager->MasterBitmap.get();
  if (!image || image->Empty()) return;
  const int W = Mask.R.Width(), H = Mask.R.Height();
  if (W <= 0 || H <= 0) return;
  HDC dc = Canvas->Handle(), src = image->Canvas()->Handle();
  const int L = Rect.Left, T = Rect.Top, R = Rect.Right, B = Rect.Bottom;
  auto tile = [&](int x, int y, int w, int h, int sx = 0, int sy = 0) {
    if (w > 0 && h > 0) BitBlt(dc, x, y, w, h, src, Mask.R.Left + sx, Mask.R.Top + sy, SRCCOPY);
  };
  auto stretch = [&](int x, int y, int w, int h) {
    SetStretchBltMode(dc, COLORONCOLOR);
    if (w > 0 && h > 0) StretchBlt(dc, x, y, w, h, src, Mask.R.Left, Mask.R.Top, W, H, SRCCOPY);
  };
  // Mode 0's columns of tiles from Left, each closed by a partial tile (WholeRows: none).
  auto tiled = [&](int left, bool wholeRows) {
    auto column = [&](int x, int cw) {
      int y = T;
      for (; y < B - H; y += H) tile(x, y, cw, H);
      if (!wholeRows) tile(x, y, cw, B - y);
    };
    int x = left;
    for (; x < R - W; x += W) column(x, W);
    column(x, R - x);
  };
  switch (Mode) {
    case 0:
    case 10:
      tiled(L, Mode == 10);
      Rect = kNothingLeft;
      break;
    case 1:
      stretch(L, T, R - L, B - T);
      Rect = kNothingLeft;
      break;
    case 2:
      for (int x = L; x < R; x += W) tile(x, T, std::min(W, R - x), B - T);
      Rect = TRect(L, T + H, R, B);
      break;
    case 3:
      for (int y = T; y < B; y += H) tile(L, y, R - L, std::min(H, B - y));
      Rect = TRect(L + W, T, R, B);
      break;
    case 4:
      stretch(L, T, R - L, H);
      Rect = TRect(L, T + H, R, B);
      break;
    case 5:
      stretch(L, T, W, B - T);
      Rect = TRect(L + W, T, R, B);
      break;
    case 6:
      for (int x = L; x < R; x += W) tile(x, B - H, std::min(W, R - x), H);
      Rect = TRect(L, T, R, B - H);
      break;
    case 7:
      tiled(L, false);
      Rect = TRect(L, T, R - W, B);
      break;
    case 8:
    case 9:
    case 14:
      tiled(L, false);
      Rect = TRect(R - W, T, R, B);
      break;
    case 11: {
      int y = T;
      for (; y < B - H; y += H) stretch(L, y, R - L, H);
      stretch(L, y, R - L, H);
      Rect = kNothingLeft;
      break;
    }
    case 12: {
      int x = L;
      for (; x < R - W; x += W) stretch(x, T, W, B - T);
      stretch(x, T, W, B - T);
      Rect = kNothingLeft;
      break;
    }
    case 13: {
      // Anchored at the bottom-right: partial tiles at the top and left show the texture's lower and right parts.
      auto column = [&](int x, int cw, int sx) {
        int y = B - H;
        for (; y > T; y -= H) tile(x, y, cw, H, sx, 0);
        tile(x, T, cw, H - (T - y), sx, T - y);
      };
      int x = R - W;
      for (; x > L; x -= W) column(x, W, 0);
      column(L, W - (L - x), L - x);
      Rect = kNothingLeft;
      break;
    }
    default: break;
  }
}

void TileMaskedTexture(TBitmap* Bmp, TRect& Rect, const TCacheInfo& ParentCache, uint8_t Mode, const TsMaskData& Mask) {
  if (!Mask.Manager || !Bmp || (Mode != 0 && Mode != 10)) return;
  const int W = Mask.Width > 0 ? Mask.Width : Mask.R.Width(), H = Mask.R.Height() / 2;
  if (W <= 0 || H <= 0) return;
  const TRect src(Mask.R.Left, Mask.R.Top, Mask.R.Left + W, Mask.R.Top + H);
  const int L = Rect.Left, T = Rect.Top, R = Rect.Right, B = Rect.Bottom;
  int x = L, yEnd = T;
  for (; x < R - W; x += W) {
    int y = T;
    for (; y < B - H; y += H) CopyMaskedTexturePiece(TRect(x, y, x + W, y + H), src, Bmp, Mask, ParentCache);
    yEnd = y;
  }
  if (Mode == 0) {
    for (int y = T; y < B - H; y += H) CopyMaskedTexturePiece(TRect(x, y, R, y + H), src, Bmp, Mask, ParentCache);
  } else {
    // The uncovered L-shape shows the parent's background.
    const TRect strips[2] = {TRect(L, yEnd, R, B), TRect(x, T, R, B)};
    for (const TRect& s : strips) {
      if (ParentCache.Ready && ParentCache.Bmp)
        Blit(Bmp, s.Left, s.Top, s.Width(), s.Height(), ParentCache.Bmp, s.Left + ParentCache.X,
             s.Top + ParentCache.Y);
      else
        FillColor32(Bmp, s, ParentCache.FillColor);
    }
  }
  Rect = kNothingLeft;
}

void PaintSectionBg(int SkinIndex, const TCacheInfo& CI, int State, const TRect& R, const TPoint& Offset, TBitmap* Bmp,
                    const TacSkinRecords* Skin, int TextureIndex, int HotTextureIndex, TColor CustomColor) {
  if (!Skin || !Skin->IsValidSkinIndex(SkinIndex) || !Bmp || R.Width() <= 0 || R.Height() <= 0) return;
  const TsGeneralData& g = Skin->gd[size_t(SkinIndex)];
  const TsGenState& st = StateOf(g, State);
  const Layers l = ReadLayers(st, CustomColor, TextureIndex);
  auto solid = [&] { FillColor32(Bmp, R, l.Color); };
  const bool parentKnown = CI.Ready || CI.FillColor != clFuchsia;
  if (!parentKnown || l.T == 0) {
    FillLayers(*Skin, Bmp, R, CI, l, solid);
  } else if (l.T == 100) {
    if (CI.Ready && CI.Bmp)
      ParentUnder(Bmp, R, CI, Offset);
    else if (CI.Bmp)
      ParentBorderStrips(Bmp, R, CI, Offset);
    else
      FillRect32(Bmp, R, CI.FillColor, 255);
  } else if (CI.Ready || l.IP + l.GP != 0) {
    LayersOverParent(Bmp, R, CI, Offset, l.T, [&](TBitmap* layers, const TRect& all) {
      FillLayers(*Skin, layers, all, CI, l, [&] { FillColor32(layers, all, l.Color); });
    });
  } else {
    FillColor32(Bmp, R, MixColors(CI.FillColor, l.Color, uint8_t(Weight(l.T))));
  }
  if (l.Overlay) FillGradient(Bmp, R, st.GradientArray);
  const int texture = TextureIndex < 0 ? st.TextureIndex : TextureIndex;
  const int overlay = State != 0 ? HotTextureIndex : texture;
  if (Skin->IsValidImgIndex(overlay) && Skin->ma[size_t(overlay)].MaskType > 0 &&
      Skin->ma[size_t(overlay)].DrawMode == 10) {
    TRect rest = R;
    TileMaskedTexture(Bmp, rest, Moved(CI, Offset), 10, Skin->ma[size_t(overlay)]);
  }
}

void PaintScrollElement(int SkinIndex, int TextureIndex, int MaskIndex, const TacSkinRecords* Skin, TBitmap* Bmp,
                        const TPoint& Offset, const TRect& R, int State, const TCacheInfo& CI) {
  if (!Skin || !Skin->IsValidSkinIndex(SkinIndex) || !Inside(R, Bmp)) return;
  const TsGenState& st = StateOf(Skin->gd[size_t(SkinIndex)], State);
  const Layers l = ReadLayers(st, clFuchsia, TextureIndex);
  if (!CI.Ready || l.T == 0) {
    // A fully transparent element without a ready parent shows the parent's colour.
    FillScrollLayers(*Skin, Bmp, R, CI, l, !CI.Ready && l.T == 100 ? CI.FillColor : l.Color);
  } else if (l.T == 100) {
    ParentUnder(Bmp, R, CI, Offset);
  } else {
    LayersOverParent(Bmp, R, CI, Offset, l.T, [&](TBitmap* layers, const TRect& all) {
      FillScrollLayers(*Skin, layers, all, CI, l, l.Color);
    });
  }
  if (l.Overlay) FillGradient(Bmp, R, st.GradientArray);
  if (Skin->IsValidImgIndex(MaskIndex)) PaintMask(Bmp, R, Moved(CI, Offset), Skin->ma[size_t(MaskIndex)], State, true);
}

void PaintCornerImages(const TacSkinRecords& Skin, const TsGeneralData& Section, TBitmap* Bmp, const TRect& R,
                       int State) {
  TCacheInfo self;
  MakeCacheInfo(Bmp, 0, 0, self);
  auto put = [&](int index, bool right, bool bottom) {
    if (!Skin.IsValidImgIndex(index)) return;
    const TsMaskData& m = Skin.ma[size_t(index)];
    // Every corner is placed against R's own edges (the bottom-left one too).
    const TPoint p(right ? R.Right - m.Width : R.Left, bottom ? R.Bottom - m.Height : R.Top);
    PaintMaskFrame(Bmp, p, State, self, m, 1);
  };
  put(Section.ImgTL, false, false);
  put(Section.ImgTR, true, false);
  put(Section.ImgBL, false, true);
  put(Section.ImgBR, true, true);
}

void PaintSkinItem(int SkinIndex, const TCacheInfo& CI, int TextureIndex, int HotTextureIndex, const TacSkinRecords* Skin,
                   TBitmap* Bmp, const TPoint& Offset, const TRect& R, int State) {
  if (!Skin || !Skin->IsValidSkinIndex(SkinIndex) || !Inside(R, Bmp)) return;
  const TsGeneralData& g = Skin->gd[size_t(SkinIndex)];
  StateOf(g, State);
  PaintSectionBg(SkinIndex, CI, State, R, Offset, Bmp, Skin, TextureIndex, HotTextureIndex, clFuchsia);
  PaintCornerImages(*Skin, g, Bmp, R, State);
  if (Skin->IsValidImgIndex(g.BorderIndex))
    PaintMask(Bmp, R, Moved(CI, Offset), Skin->ma[size_t(g.BorderIndex)], State, true);
}

void PaintControlBg(const TsCommonData& CommonData, const TCacheInfo& CI, int State, TBitmap* Bmp, const TPoint& Offset,
                    const TRect& R) {
  const TacSkinRecords* skin = CommonData.SkinManager();
  if (!skin || !skin->IsValidSkinIndex(CommonData.SkinIndex)) return;
  const TColor custom = CommonData.FCustomColor && CommonData.FOwnerControl
                            ? TColor(ColorToRGB(CommonData.FOwnerControl->Color()))
                            : clFuchsia;
  StateOf(skin->gd[size_t(CommonData.SkinIndex)], State);
  PaintSectionBg(CommonData.SkinIndex, CI, State, R, Offset, Bmp, skin, -1, -1, custom);
}

void PaintControlItem(const TsCommonData& CommonData, const TCacheInfo& CI, TBitmap* Bmp, const TPoint& Offset,
                      const TRect& R, int State, bool UpdateCorners) {
  const TacSkinRecords* skin = CommonData.SkinManager();
  if (!skin || !Bmp || !skin->IsValidSkinIndex(CommonData.SkinIndex) ||
      !RectCornersInside(BitmapRect(Bmp), R, true))
    return;
  const TsGeneralData& g = skin->gd[size_t(CommonData.SkinIndex)];
  const TsGenState& st = StateOf(g, State);
  PaintControlBg(CommonData, CI, State, Bmp, Offset, R);
  PaintCornerImages(*skin, g, Bmp, R, State);
  bool transform = st.Transparency == 0;  // a transparent control without a border keeps its parent's pixels
  if (skin->IsValidImgIndex(CommonData.BorderIndex)) {
    const TsMaskData& border = skin->ma[size_t(CommonData.BorderIndex)];
    if (State != 0 || !(border.DrawMode & kMaskNotInNormal)) {
      PaintMask(Bmp, R, Moved(CI, Offset), border, State, UpdateCorners);
      transform = true;
    }
  }
  if (!transform) return;
  // Key pixels are spared whatever alpha the piece copies gave them, so the key survives for later steps.
  const PixelRows P = Rows32(Bmp);
  auto filter = [&](TacPixelProc Proc, int Value) {
    ForEachPixel(P, TRect(0, 0, P.width, P.height), [&](uint32_t& p, int, int) {
      if ((p & 0x00FFFFFF) != kKeyPixel) Proc(&p, Value);
    });
  };
  if (!P) return;
  if (CommonData.FColorTone != kNoColorTone) filter(ToneProc, int(CommonData.FColorTone));
  if (CommonData.FHUEOffset != 0) filter(HueProc, CommonData.FHUEOffset);
  if (CommonData.FSaturation != 0) filter(SaturationProc, std::clamp(CommonData.FSaturation * 255 / 100, -255, 255));
}

TCacheInfo CacheInfoFromBgInfo(const TacBackgroundInfo& Info) {
  TCacheInfo ci;
  if (Info.BgType == 2) {
    MakeCacheInfo(Info.Bmp, Info.Offset.X, Info.Offset.Y, ci);
    return ci;
  }
  ci.Bmp = Info.Bmp;
  ci.X = Info.Offset.X;
  ci.Y = Info.Offset.Y;
  ci.FillColor = TColor(ColorToRGB(Info.Color));
  ci.FillRect = Info.FillRect;
  return ci;
}

int PaintSkinItemToDC(TBitmap* Bmp, int SkinIndex, int AltSkinIndex, HDC SourceDC, TColor Color, const TRect& R,
                      const TacSkinRecords* Skin, int State) {
  const int index = SkinIndex < 0 ? AltSkinIndex : SkinIndex;
  if (index < 0 || !Bmp) return index;
  TCacheInfo ci = EmptyCI;
  if (SourceDC) {
    BitBlt(Bmp->Canvas()->Handle(), 0, 0, R.Width(), R.Height(), SourceDC, R.Left, R.Top, SRCCOPY);
    MakeCacheInfo(Bmp, 0, 0, ci);
  } else {
    ci.Bmp = nullptr;
    ci.FillColor = Color;
  }
  PaintSkinItem(index, ci, -1, -1, Skin, Bmp, TPoint(0, 0), BitmapRect(Bmp), State);
  return index;
}

void PaintSectionToDC(int SkinIndex, const TCacheInfo& CI, const TacSkinRecords* Skin, HDC DC, const TPoint& Offset,
                      const TRect& R, int State) {
  if (!DC || R.Left < 0 || R.Top < 0 || R.Width() <= 0 || R.Height() <= 0) return;
  auto tmp = NewBitmap32(R.Width(), R.Height());
  PaintSkinItem(SkinIndex, CI, -1, -1, Skin, tmp.get(), Offset, TRect(0, 0, R.Width(), R.Height()), State);
  const int saved = SaveDC(DC);
  BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), tmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(DC, saved);
}

void PaintSectionToBitmap32(int SkinIndex, int State, const TacSkinRecords* Skin, TBitmap* Bmp, const TPoint& Offset,
                            const TRect& R) {
  if (!Skin || !Skin->IsValidSkinIndex(SkinIndex) || !Inside(R, Bmp) || !Rows32(Bmp)) return;
  const TsGeneralData& g = Skin->gd[size_t(SkinIndex)];
  const TsGenState& st = StateOf(g, State);
  const bool whole = R == TRect(0, 0, Bmp->Width(), Bmp->Height());
  // What lay under R, for the border's transparent corners.
  auto under = NewBitmap32(R.Width() + 1, R.Height() + 1);
  Blit(under.get(), 0, 0, R.Width(), R.Height(), Bmp, R.Left, R.Top);
  Layers l = ReadLayers(st, clFuchsia, -1);
  if (l.T == 100) {
    if (whole) FillRect32(Bmp, R, 0, 0);
  } else {
    // The one-pass gradient and texture is as opaque as the section: (100 - T) * 255 div 100.
    l.CombinedAlpha = uint8_t(Weight(100 - l.T));
    const uint32_t corner = GetPixel32(Bmp, R.Left, R.Top);
    FillLayers(*Skin, Bmp, R, EmptyCI, l, [&] {
      const int a = (100 - l.T) * 255 / 100;
      if (corner == 0)
        FillRect32(Bmp, R, l.Color, uint8_t(a));
      else if (l.T == 0)
        FillRect32(Bmp, R, l.Color, 255);
      else
        TintRect32(Bmp, R, l.Color, uint8_t(std::max<int>(corner >> 24, a)), uint8_t(100 - l.T));
    });
  }
  (void)Offset;
  if (Skin->IsValidImgIndex(g.BorderIndex)) {
    TCacheInfo ci;
    MakeCacheInfo(under.get(), -R.Left, -R.Top, ci);
    PaintMask32(Bmp, R, ci, State, Skin->ma[size_t(g.BorderIndex)]);
  }
  if (whole) PremultiplyRect(Bmp, R);
}

void DrawSkinTextToBitmap(TBitmap* Bmp, const String& Text, bool AlphaMode, const TacSkinRecords* Skin, int State,
                          int SkinIndex, UINT DrawTextFlags, const TRect& R) {
  if (!Bmp || Text.empty() || R.Width() <= 0 || R.Height() <= 0) return;
  if (!Skin || !Skin->IsValidSkinIndex(SkinIndex)) {
    DrawTextToBitmap32(Bmp, Text, AlphaMode, false, TColor(ColorToRGB(Bmp->Canvas()->Font()->Color())), DrawTextFlags,
                       R);
    return;
  }
  const TsGeneralData& g = Skin->gd[size_t(SkinIndex)];
  const TsFontColor& fc = StateOf(g, State).FontColor;
  if (AlphaMode) {
    const std::pair<TColor, TPoint> sides[4] = {
        {fc.Left, TPoint(-1, 0)}, {fc.Top, TPoint(0, -1)}, {fc.Right, TPoint(1, 0)}, {fc.Bottom, TPoint(0, 1)}};
    for (const auto& [color, d] : sides)
      if (color != -1)
        DrawTextToBitmap32(Bmp, Text, true, false, color, DrawTextFlags,
                           TRect(R.Left + d.X, R.Top + d.Y, R.Right + d.X, R.Bottom + d.Y));
  }
  DrawTextToBitmap32(Bmp, Text, AlphaMode, false, fc.Color, DrawTextFlags, R);
}

void FillBorderCornerGaps(TBitmap* Dest, TBitmap* Template, const TRect& DestRect, int Corner,
                          const TacSkinRecords* Skin, int MaskIndex, const TPoint& TemplateOrigin) {
  const PixelRows D = Rows32(Dest), T = Rows32(Template);
  if (!D || !T) return;
  const int w = std::min(DestRect.Width() - 1, T.width - TemplateOrigin.X - 1);
  const int h = std::min(DestRect.Height() - 1, T.height - TemplateOrigin.Y - 1);
  if (h < 0) return;
  auto templ = [&](int x, int y, uint32_t& out) {
    const int tx = TemplateOrigin.X + x, ty = TemplateOrigin.Y + y;
    if (!T.Inside(tx, ty)) return false;
    out = T.At(tx, ty);
    return true;
  };
  if (MaskIndex == -1) {
    for (int y = 0; y <= h; ++y)
      for (int x = 0; x <= w; ++x) {
        const int dx = DestRect.Left + x, dy = DestRect.Top + y;
        if (!D.Inside(dx, dy)) continue;
        uint32_t& d = D.At(dx, dy);
        d &= 0x00FFFFFF;
        uint32_t t;
        if (d == kKeyPixel && templ(x, y, t)) d = t;
      }
    return;
  }
  if (!Skin || !Skin->IsValidImgIndex(MaskIndex)) return;
  const TsMaskData& m = Skin->ma[size_t(MaskIndex)];
  const PixelRows S = Rows32(Skin->MaskBitmap(MaskIndex));
  if (!S) return;
  const bool right = Corner == 14 || Corner == 17, bottom = Corner == 16 || Corner == 17;
  const int ox = m.R.Left + (right ? m.Width - m.WR : 0), oy = m.R.Top + (bottom ? m.Height - m.WB : 0);
  for (int y = 0; y <= h; ++y)
    for (int x = 0; x <= w; ++x) {
      const int dx = DestRect.Left + x, dy = DestRect.Top + y;
      uint32_t t;
      if (S.Inside(ox + x, oy + y) && (S.At(ox + x, oy + y) & 0x00FFFFFF) == kKeyPixel && D.Inside(dx, dy) &&
          templ(x, y, t))
        D.At(dx, dy) = t;
    }
}
