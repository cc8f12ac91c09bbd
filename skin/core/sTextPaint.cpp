#include "skin/core/sTextPaint.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sMaskData.h"

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

// The glow kernel: weights rounded to 0 or 1, cut where their tails add up to
// nothing worth a byte, normalised.
std::vector<float> BlurKernel(int Radius) {
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

}  // namespace

void DrawTextCapped(HDC DC, const String& Text, const TRect& R, UINT Format) {
  RECT r = R;
  DrawText(DC, Text.data(), int(CharPrefix(Text, kTextCap)), &r, Format);
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
      const std::pair<TColor, TPoint> sides[4] = {
          {fc.Left, TPoint(-1, 0)}, {fc.Top, TPoint(0, -1)}, {fc.Right, TPoint(1, 0)}, {fc.Bottom, TPoint(0, 1)}};
      for (const auto& [color, d] : sides)
        if (color != -1) {
          SetTextColor(dc, COLORREF(color));
          DrawMoved(dc, Text, R, d.X, d.Y, Format);
        }
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

void BlurBitmap8(TBitmap* Bmp, int Radius) {
  const PixelRows P = Bmp && Bmp->PixelFormat() == pf8bit ? RowsOf(Bmp) : PixelRows();
  if (!P) return;
  const std::vector<float> kernel = BlurKernel(Radius);
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
