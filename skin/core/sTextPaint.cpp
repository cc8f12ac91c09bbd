#include "skin/core/sTextPaint.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sCommonData.h"

using namespace skin_detail;

namespace {

// Byte length of the first Count characters of UTF-8 text.
size_t CharPrefix(const String& Text, int Count) {
  size_t i = 0;
  for (int n = 0; i < Text.size() && n < Count; ++n) {
    ++i;
    while (i < Text.size() && (uint8_t(Text[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

void DrawMoved(HDC DC, const String& Text, const TRect& R, int DX, int DY, UINT Format) {
  DrawTextCapped(DC, Text, TRect(R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY), Format);
}

}  // namespace

std::vector<float> MakeBlurKernel(int Radius) {
  if (Radius <= 0) return {1.0f};  // no spread at all: the centre weight alone
  const double sigma = Radius;
  float w[33];
  float total = 0;
  for (int k = -16; k <= 16; ++k) total += w[k + 16] = float(std::nearbyint(std::exp(-(k / sigma) * (k / sigma) / 2)));
  for (float& v : w) v /= total;
  int size = 16;
  float sum = 0;
  while (sum < 1.0f / 510 && size > 1) {
    sum += 2 * w[size + 16];
    --size;
  }
  std::vector<float> kernel(w + 16 - size, w + 16 + size + 1);
  float norm = 0;
  for (float v : kernel) norm += v;
  for (float& v : kernel) v /= norm;
  return kernel;
}

namespace {

void BlurLine(uint8_t* p, ptrdiff_t step, int n, const std::vector<float>& kernel, std::vector<uint8_t>& out) {
  const int size = int(kernel.size() / 2);
  out.resize(size_t(n));
  for (int i = 0; i < n; ++i) {
    float s = 0;
    for (int k = -size; k <= size; ++k) s += kernel[size_t(k + size)] * p[ptrdiff_t(std::clamp(i - k, 0, n - 1)) * step];
    out[size_t(i)] = uint8_t(std::clamp(std::lround(s), 0L, 255L));
  }
  for (int i = 0; i < n; ++i) p[ptrdiff_t(i) * step] = out[size_t(i)];
}

// The copies of a text colour's sides, one pixel off, each in its colour passed through Color.
template <class ColorFn>
void DrawSideCopies(HDC DC, const String& Text, const TRect& R, const TsFontColor& FC, UINT Format, ColorFn&& Color) {
  const std::pair<TColor, TPoint> sides[4] = {
      {FC.Left, TPoint(-1, 0)}, {FC.Top, TPoint(0, -1)}, {FC.Right, TPoint(1, 0)}, {FC.Bottom, TPoint(0, 1)}};
  for (const auto& [color, d] : sides)
    if (color != -1) {
      SetTextColor(DC, COLORREF(Color(color)));
      DrawMoved(DC, Text, R, d.X, d.Y, Format);
    }
}

// Keeps a DC's state for a scope.
class SavedDC {
 public:
  explicit SavedDC(HDC DC) : dc_(DC), level_(SaveDC(DC)) {}
  ~SavedDC() { RestoreDC(dc_, level_); }
  SavedDC(const SavedDC&) = delete;
  SavedDC& operator=(const SavedDC&) = delete;

 private:
  HDC dc_;
  int level_;
};

}  // namespace

void DrawTextCapped(HDC DC, const String& Text, const TRect& R, UINT Format) {
  RECT r = R;
  DrawText(DC, Text.data(), int(CharPrefix(Text, kTextCap)), &r, Format);
}

void DrawTextOnCanvas(TCanvas* Canvas, const String& Text, UINT Format, const TRect& R) {
  RECT r = R;
  DrawText(Canvas->Handle(), Text.data(), int(Text.size()), &r, Format);
}

bool GetTextSize(HDC DC, const String& Text, TSize& Size, HFONT Font) {
  if (!DC) return MeasureTextWithFont(Font, Text, 0, Size, 0, false);
  SIZE s{};
  const bool ok = GetTextExtentPoint32(DC, Text.data(), int(Text.size()), &s);
  Size = TSize{s.cx, s.cy};
  return ok;
}

void DrawSkinTextEx(TCanvas* Canvas, const String& Text, bool UseSkinColor, const TacSkinRecords* Skin, int State,
                    int SkinIndex, UINT Format, const TRect& R) {
  if (!Canvas || Text.empty()) return;
  HDC dc = Canvas->Handle();
  SetBkMode(dc, TRANSPARENT);
  if (Skin && Skin->IsValidSkinIndex(SkinIndex)) {
    const TsGeneralData& g = Skin->gd[size_t(SkinIndex)];
    if (UseSkinColor) {
      const TsFontColor& fc = g.Props[size_t(std::clamp(State, 0, 2))].FontColor;
      DrawSideCopies(dc, Text, R, fc, Format, [](TColor c) { return c; });
      SetTextColor(dc, COLORREF(fc.Color));
    } else {
      Canvas->Font()->SetColor(MixColors(g.Props[0].FontColor.Color, g.Props[0].Color, DefDisabledBlend));
      SetTextColor(dc, ColorToRGB(Canvas->Font()->Color()));
    }
  } else {
    SetTextColor(dc, ColorToRGB(Canvas->Font()->Color()));
  }
  DrawTextCapped(dc, Text, R, Format);
}

TColor ControlTextColor(TColor Color, const TsCommonData& CommonData) {
  TColor c = Color;
  if (CommonData.FColorTone != kNoColorTone)
    c = TColor(ToneColor(uint32_t(c), uint32_t(SwapRB(TColor(ColorToRGB(CommonData.FColorTone))))));
  if (CommonData.FHUEOffset != 0) c = HueShiftColor(CommonData.FHUEOffset, c);
  if (CommonData.FSaturation != 0) c = SaturateColor(c, CommonData.FSaturation * 256 / 100);
  return TColor(ColorToRGB(c));
}

void DrawSkinControlTextEx(TCanvas* Canvas, const String& Text, bool Enabled, int State,
                           const TsCommonData& CommonData, UINT Format, const TRect& R) {
  if (!Canvas || Text.empty()) return;
  const TacSkinRecords* skin = CommonData.SkinManager();
  // A hot link button underlines its text.
  if (State != 0 && skin && CommonData.SkinIndex >= 0 && CommonData.SkinIndex == skin->ConstData.Sections[ssWebBtn])
    Canvas->Font()->SetStyle(Canvas->Font()->Style() + TFontStyles{fsUnderline});
  Canvas->Brush()->SetStyle(bsClear);
  HDC dc = Canvas->Handle();
  auto saved = std::make_unique<SavedDC>(dc);
  SetBkMode(dc, TRANSPARENT);
  auto draw = [&](TColor Color) {
    SetTextColor(dc, COLORREF(ColorToRGB(Color)));
    DrawTextCapped(dc, Text, R, Format);
  };
  if (CommonData.Skinned() && !CommonData.FCustomFont) {
    const TsGenState& st = skin->gd[size_t(CommonData.SkinIndex)].Props[size_t(std::clamp(State, 0, 2))];
    if (CommonData.FCacheBmp && st.GlowSize != 0) {
      IntersectClipRect(dc, R.Left, R.Top, R.Right, R.Bottom);
      std::unique_ptr<TBitmap> mask;
      DrawTextWithGlow(CommonData.FCacheBmp.get(), Text, R, mask, ControlTextColor(st.GlowColor, CommonData),
                       st.GlowSize, 15, Format);
      saved = nullptr;  // the clip ends with the glow
      saved = std::make_unique<SavedDC>(dc);
      SetBkMode(dc, TRANSPARENT);
    }
    const TColor main = ControlTextColor(st.FontColor.Color, CommonData);
    if (Enabled)
      DrawSideCopies(dc, Text, R, st.FontColor, Format, [&](TColor c) { return ControlTextColor(c, CommonData); });
    Canvas->Font()->SetColor(main);
    draw(main);
    return;
  }
  // Plain text; a disabled one embossed: a light copy one pixel down and right, then the shadow colour.
  if (!Enabled) {
    SetTextColor(dc, COLORREF(ColorToRGB(clBtnHighlight)));
    DrawMoved(dc, Text, R, 1, 1, Format);
    Canvas->Font()->SetColor(clBtnShadow);
  }
  draw(Canvas->Font()->Color());
}

void BlurBitmap8(TBitmap* Bmp, int Radius) {
  const PixelRows P = Bmp && Bmp->PixelFormat() == pf8bit ? RowsOf(Bmp) : PixelRows();
  if (!P) return;
  const std::vector<float> kernel = MakeBlurKernel(Radius);
  std::vector<uint8_t> scratch;
  for (int y = 0; y < P.height; ++y) BlurLine(P.Bytes(y), 1, P.width, kernel, scratch);
  for (int x = 0; x < P.width; ++x) BlurLine(P.Bytes(0) + x, P.step, P.height, kernel, scratch);
}

void DrawTextWithGlow(TBitmap* Bmp, const String& Text, const TRect& R, std::unique_ptr<TBitmap>& GlowMask,
                      TColor GlowColor, int GlowSize, int Sides, UINT Format) {
  const PixelRows T = Rows32(Bmp);
  if (!T || Text.empty()) return;
  const TRect r1(R.Left + 1, R.Top + 1, R.Right + 1, R.Bottom + 1);
  const int d = GlowSize + 4;
  const int gw = r1.Width() + 2 * d, gh = r1.Height() + 2 * d;
  if (gw <= 0 || gh <= 0) return;
  if (!GlowMask || GlowMask->Width() != gw || GlowMask->Height() != gh) {
    // Black text on white, drawn in 32 bits and kept as one byte per pixel.
    auto ink = NewBitmap32(gw, gh);
    FillRect32(ink.get(), TRect(0, 0, gw, gh), 0xFFFFFF, 255);
    ink->Canvas()->Font()->Assign(Bmp->Canvas()->Font());
    HDC dc = ink->Canvas()->Handle();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0);
    const TRect t(d, d, d + r1.Width(), d + r1.Height());
    const std::pair<int, TPoint> sides[4] = {{1, TPoint(-1, 0)}, {2, TPoint(0, -1)}, {4, TPoint(1, 0)}, {8, TPoint(0, 1)}};
    for (const auto& [bit, o] : sides)
      if (Sides & bit) DrawMoved(dc, Text, t, o.X, o.Y, Format);
    DrawTextCapped(dc, Text, t, Format);
    GlowMask = std::make_unique<TBitmap>();
    GlowMask->SetPixelFormat(pf8bit);
    GlowMask->SetSize(gw, gh);
    TransferChannel8(ink.get(), GlowMask.get(), 0, true);
    BlurBitmap8(GlowMask.get(), GlowSize);
  }
  const PixelRows M = RowsOf(GlowMask.get());
  if (!M) return;
  const uint32_t glow = SwapRedBlue(uint32_t(GlowColor));
  for (int row = 0; row < M.height; ++row)
    for (int i = 0; i < M.width; ++i) {
      const int m = M.Bytes(row)[i];
      const int x = r1.Left - d + i, y = r1.Top - d + row;
      if (m == 255 || !T.Inside(x, y)) continue;
      uint32_t& p = T.At(x, y);
      const int a = Ch(p, 3) + (((255 - Ch(p, 3)) * (255 - m)) >> 8);
      int c[3];
      for (int k = 0; k < 3; ++k) c[k] = ((255 - m) * Ch(glow, k) + Ch(p, k) * m) >> 8;
      p = Pack(c[0], c[1], c[2], a);
    }
}

String EllipsizeText(TCanvas* Canvas, const String& Text, int MaxWidth) {
  if (MaxWidth < 1 || !Canvas) return String();
  String result = Text;
  if (result.empty() || Canvas->TextWidth(result) <= MaxWidth) return result;
  while (!result.empty()) {
    if (Canvas->TextWidth(result + "...") <= MaxWidth) break;
    size_t cut = result.size() - 1;
    while (cut > 0 && (uint8_t(result[cut]) & 0xC0) == 0x80) --cut;
    result.erase(cut);
  }
  return result.empty() ? result : result + "...";
}

namespace {

// Which frame of a glyph strip shows; -1: none.
int GlyphFrame(int Kind, bool Enabled, int State, int NumGlyphs, bool HotFrameOk) {
  if (!Enabled || Kind == 0) return 0;
  switch (Kind) {
    case 1:
      return HotFrameOk ? 1 : 0;
    case 2:
      if (State + 2 < NumGlyphs) return State + 2;
      return HotFrameOk ? std::min(1, NumGlyphs - 1) : 0;
    case 3:
      return NumGlyphs >= 3 ? 2 : 0;
    default:
      return -1;
  }
}

// The frame's rows mirrored below R's top, fading out downward: row k holds
// the frame's k-th row from the bottom.
void DrawGlyphReflection(TBitmap* Target, const PixelRows& S, int FrameX, int FrameW, const TRect& R, int Blend,
                         uint32_t Key) {
  const PixelRows T = Rows32(Target);
  if (!T) return;
  const int n = std::min(S.height / 3 * 2 - 1, T.height - 1 - R.Top);
  if (n < 1) return;
  int h = 255;
  for (int k = 0; k <= n; ++k, h -= 255 / (n + 1)) {
    const int y = R.Top + k, sy = S.height - 1 - k;
    if (y < 0 || sy < 0) continue;
    const int weight = ((100 - Blend) * ((((n - k) * 255 / n) * h) >> 9)) / 100;
    for (int i = 0; i < FrameW; ++i) {
      const int x = R.Left + i;
      if (x < 0 || x >= T.width) continue;
      const uint32_t s = S.At(FrameX + i, sy);
      if (s == Key) continue;
      uint32_t& d = T.At(x, y);
      d = Pack(Ch(d, 0) + (Ch(s, 0) - Ch(d, 0)) * weight / 256, Ch(d, 1) + (Ch(s, 1) - Ch(d, 1)) * weight / 256,
               Ch(d, 2) + (Ch(s, 2) - Ch(d, 2)) * weight / 256, Ch(d, 3));
    }
  }
}

}  // namespace

void DrawGlyphFromStrip(TBitmap* Source, TBitmap* Target, const TRect& R, bool Reflected, uint8_t State, int Blend,
                        int Kind, bool Enabled, int NumGlyphs, bool SkinGlyphOrder) {
  // A strip without glyphs has no frame width to divide by.
  if (!Source || !Target || Source->Empty() || NumGlyphs < 1) return;
  const int w = Source->Width(), h = Source->Height();
  auto copy = NewBitmap32(w, h);
  BitBlt(copy->Canvas()->Handle(), 0, 0, w, h, Source->Canvas()->Handle(), 0, 0, SRCCOPY);
  const PixelRows S = Rows32(copy.get());
  if (!S) return;
  TRect r = R;
  if (Reflected) r = TRect(r.Left, r.Top - r.Height() / 8, r.Right, r.Bottom - r.Height() / 8);
  if (NumGlyphs == 1) Kind = 0;
  if (Kind > 0) Blend = 0;
  const int frame = GlyphFrame(Kind, Enabled, State, NumGlyphs, SkinGlyphOrder && Source->PixelFormat() != pf4bit);
  const int fw = w / NumGlyphs;
  if (frame < 0 || fw < 1) return;
  const int fx = frame * fw;
  const uint32_t key = S.At(fx, h - 1);
  const TRect src(fx, 0, fx + fw - 1, h - 1);
  if (Enabled || Blend == 0)
    CopyKeyedRect(Target, copy.get(), r.Left, r.Top, SwapRB(TColor(key & 0x00FFFFFF)), src);
  else
    CopyBitmapKeyed(Target, r.Left, r.Top, clFuchsia, uint8_t(std::clamp(Blend, 0, 255)), src, copy.get());
  if (Reflected) {
    r = TRect(r.Left, r.Top + r.Height(), r.Right, r.Bottom + r.Height());
    DrawGlyphReflection(Target, S, fx, fw, r, Blend, key);
  }
}

void DrawBitmapToCanvas(TCanvas* Canvas, TBitmap* Bmp, const TRect& R, bool Reflected) {
  if (!Canvas || !Bmp || Bmp->Empty() || R.Width() <= 0 || R.Height() <= 0) return;
  if (Bmp->PixelFormat() != pf32bit) {
    Canvas->StretchDraw(R, Bmp);
    return;
  }
  const int w = R.Width(), h = R.Height();
  const bool sameSize = Bmp->Width() == w && Bmp->Height() == h;
  const int th = h + (Reflected && sameSize ? h / 2 : 0);
  auto tmp = NewBitmap32(w, th);
  BitBlt(tmp->Canvas()->Handle(), 0, 0, w, th, Canvas->Handle(), R.Left, R.Top, SRCCOPY);
  const TRect all(0, 0, w, h);
  if (sameSize) {
    BlendBitmapOverEx(all, all, tmp.get(), Reflected, 0, kNoColor, false, EmptyCI, Bmp);
  } else {
    // Colours and alpha are scaled apart: the alpha through an 8-bit copy scaled the same way.
    auto scaled = NewBitmap32(w, h);
    SetStretchBltMode(scaled->Canvas()->Handle(), COLORONCOLOR);
    StretchBlt(scaled->Canvas()->Handle(), 0, 0, w, h, Bmp->Canvas()->Handle(), 0, 0, Bmp->Width(), Bmp->Height(),
               SRCCOPY);
    TBitmap alpha, alphaScaled;
    alpha.SetPixelFormat(pf8bit);
    alpha.SetSize(Bmp->Width(), Bmp->Height());
    alphaScaled.SetPixelFormat(pf8bit);
    alphaScaled.SetSize(w, h);
    TransferChannel8(Bmp, &alpha, 3, true);
    SetStretchBltMode(alphaScaled.Canvas()->Handle(), COLORONCOLOR);
    StretchBlt(alphaScaled.Canvas()->Handle(), 0, 0, w, h, alpha.Canvas()->Handle(), 0, 0, Bmp->Width(),
               Bmp->Height(), SRCCOPY);
    TransferChannel8(scaled.get(), &alphaScaled, 3, false);
    BlendBitmapOverEx(all, all, tmp.get(), false, 0, kNoColor, false, EmptyCI, scaled.get());
  }
  BitBlt(Canvas->Handle(), R.Left, R.Top, w, th, tmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// ---- Symbol glyphs ----

bool FontFaceAvailable(const String& Face) {
  LOGFONT lf;
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", Face.c_str());
  HFONT f = CreateFontIndirect(&lf);
  char name[LF_FACESIZE] = {};
  const bool ok = f && GetFontFamilyName(f, name, sizeof name) && SameText(String(name), Face);
  if (f) DeleteObject(f);
  return ok;
}

void DrawSymbolGlyphShape(HDC DC, const TRect& R, TacSymbolGlyph Glyph, TColor Color) {
  // The glyph's box: a square of about two thirds of the smaller side, centred.
  const int side = std::max(4, std::min(R.Width(), R.Height()) * 2 / 3);
  const int x = R.Left + (R.Width() - side) / 2, y = R.Top + (R.Height() - side) / 2;
  HBRUSH b = CreateSolidBrush(ColorToRGB(Color));
  auto fill = [&](int l, int t, int r, int btm) {
    RECT rc{l, t, r, btm};
    FillRect(DC, &rc, b);
  };
  auto box = [&](int l, int t, int r, int btm, int top) {  // an outline with a thicker top edge
    fill(l, t, r, t + top);
    fill(l, btm - 1, r, btm);
    fill(l, t, l + 1, btm);
    fill(r - 1, t, r, btm);
  };
  switch (Glyph) {
    case sgMinimize:
      fill(x, y + side - 2, x + side, y + side);
      break;
    case sgMaximize:
      box(x, y, x + side, y + side, 2);
      break;
    case sgRestore: {
      const int s = side * 3 / 4, d = side - s;
      box(x + d, y, x + side, y + s, 2);
      RECT inner{x + 1, y + d + 2, x + s - 1, y + side - 1};
      HBRUSH bg = CreateSolidBrush(GetBkColor(DC));
      if (GetBkMode(DC) == OPAQUE) FillRect(DC, &inner, bg);
      DeleteObject(bg);
      box(x, y + d, x + s, y + side, 2);
      break;
    }
    case sgClose:
      for (int i = 0; i < side; ++i) {
        fill(x + i, y + i, x + i + 2, y + i + 1);
        fill(x + side - i - 2, y + i, x + side - i, y + i + 1);
      }
      break;
  }
  DeleteObject(b);
}
