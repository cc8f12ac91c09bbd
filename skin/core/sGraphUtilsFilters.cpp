// Colour transforms of single pixels and colours, and filters over whole bitmaps.

#include <algorithm>
#include <cmath>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/acgpUtils.h"
#include "skin/core/sGraphUtils.h"

using namespace skin_detail;

namespace {

// Rounded to nearest, halves to even (the default rounding mode).
int Luminance(int r, int g, int b) { return int(std::nearbyint(0.299 * r + 0.587 * g + 0.114 * b)); }

int GreyOf(uint32_t p) { return Luminance(Ch(p, 2), Ch(p, 1), Ch(p, 0)); }

}  // namespace

void ApplyPixelFilter(TBitmap* Bmp, TacPixelProc Proc, int Value, TColor KeyColor) {
  const PixelRows P = Rows32(Bmp);
  if (!P || !Proc) return;
  const bool keyed = KeyColor != kNoColor;
  const uint32_t key = SwapRedBlue(uint32_t(KeyColor));
  ForEachPixel(P, TRect(0, 0, P.width, P.height), [&](uint32_t& p, int, int) {
    if (!keyed || p != key) Proc(&p, Value);
  });
}

void BrightnessProc(uint32_t* Pixel, int Value) { *Pixel = BrightenPixel(*Pixel, Value); }
void SaturationProc(uint32_t* Pixel, int Value) { *Pixel = SaturatePixel(Value, *Pixel); }
void HueProc(uint32_t* Pixel, int Value) { *Pixel = HueShiftPixel(Value, *Pixel); }
void ToneProc(uint32_t* Pixel, int Value) { *Pixel = ToneColor(*Pixel, uint32_t(Value)); }
void OpaqueProc(uint32_t* Pixel, int) { *Pixel |= 0xFF000000u; }

uint32_t BrightenPixel(uint32_t Pixel, int Amount) {
  if (Amount == 0) return Pixel;
  int v[3];
  for (int k = 0; k < 3; ++k) {
    const int c = Ch(Pixel, k);
    v[k] = Amount > 0 ? std::min(255, c + ((Amount * c) >> 8)) : std::max(0, c - ((-Amount * c) >> 8));
  }
  return Pack(v[0], v[1], v[2], Ch(Pixel, 3));
}

uint32_t SaturatePixel(int Amount, uint32_t Pixel) {
  if (Amount == 0) return Pixel;
  const int grey = GreyOf(Pixel);
  int v[3];
  for (int k = 0; k < 3; ++k) v[k] = std::clamp((Amount + 255) * Ch(Pixel, k) - grey * Amount, 0, 65535) >> 8;
  return Pack(v[0], v[1], v[2], Ch(Pixel, 3));
}

TColor SaturateColor(TColor Color, int Amount) {
  if (Amount == 0) return Color;
  return TColor(SwapRedBlue(SaturatePixel(Amount, SwapRedBlue(uint32_t(Color)))));
}

uint32_t HueShiftPixel(int Degrees, uint32_t Pixel) {
  const int r = Ch(Pixel, 2), g = Ch(Pixel, 1), b = Ch(Pixel, 0);
  const int V = std::max({r, g, b}), m = std::min({r, g, b});
  if (V == 0 || V == m) return Pixel;
  const double S = double(V - m) / V, d = V - m;
  double hue = r == V ? 60 * (g - b) / d : g == V ? 120 + 60 * (b - r) / d : 240 + 60 * (r - g) / d;
  if (hue < 0) hue += 360;
  int h = int(std::trunc(Degrees + hue)) % 360;
  if (h < 0) h += 360;  // a negative shift still lands in one of the six sextants
  const int i = h / 60;
  const double f = h / 60.0 - i;
  auto lim = [](double x) { return int(std::clamp(x, 0.0, 255.0)); };
  const int p = lim(V * (1 - S)), q = lim(V * (1 - f * S)), t = lim(V * (1 - (1 - f) * S));
  int rgb[3];
  switch (i) {
    case 0: rgb[0] = V, rgb[1] = t, rgb[2] = p; break;
    case 1: rgb[0] = q, rgb[1] = V, rgb[2] = p; break;
    case 2: rgb[0] = p, rgb[1] = V, rgb[2] = t; break;
    case 3: rgb[0] = p, rgb[1] = q, rgb[2] = V; break;
    case 4: rgb[0] = t, rgb[1] = p, rgb[2] = V; break;
    default: rgb[0] = V, rgb[1] = p, rgb[2] = q; break;
  }
  return Pack(rgb[2], rgb[1], rgb[0], Ch(Pixel, 3));
}

TColor HueShiftColor(int Degrees, TColor Color) {
  if (Degrees == 0) return Color;
  return TColor(SwapRedBlue(HueShiftPixel(Degrees, SwapRedBlue(uint32_t(Color)))));
}

uint32_t ToneColor(uint32_t Value, uint32_t Tone) {
  const int V = std::max({Ch(Value, 0), Ch(Value, 1), Ch(Value, 2)});
  return Pack(Ch(Tone, 2) * V >> 8, Ch(Tone, 1) * V >> 8, Ch(Tone, 0) * V >> 8, Ch(Value, 3));
}

namespace {

void Grayscale(TBitmap* Bmp, bool Keyed, uint32_t Key) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  ForEachPixel(P, TRect(0, 0, P.width, P.height), [&](uint32_t& p, int, int) {
    if (Keyed && p == Key) return;
    const int g = GreyOf(p);
    p = Pack(g, g, g, Ch(p, 3));
  });
}

}  // namespace

void GrayscaleBitmap(TBitmap* Bmp) { Grayscale(Bmp, false, 0); }
void GrayscaleBitmapKeyed(TBitmap* Bmp, uint32_t Key) { Grayscale(Bmp, true, Key); }

void BlurByScaling(TBitmap* Bmp) {
  if (!Rows32(Bmp)) return;
  const int w = Bmp->Width(), h = Bmp->Height();
  auto small = NewBitmap32(w / 4, h / 4);
  if (small->Empty()) return;
  StretchBitmapSmooth(small.get(), Bmp, 0, 0, w, h);
  StretchBitmapSmooth(Bmp, small.get(), 0, 0, small->Width(), small->Height());
}

namespace {

// Pixels of (l, t, r, b) whose centres lie inside its rounded outline (corner radius rho) := v.
void FillRoundRect(const PixelRows& P, int l, int t, int r, int b, int rho, uint32_t v) {
  for (int y = std::max(t, 0); y < std::min(b, P.height); ++y)
    for (int x = std::max(l, 0); x < std::min(r, P.width); ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      const float cx = std::clamp(px, float(l + rho), float(r - rho)), cy = std::clamp(py, float(t + rho), float(b - rho));
      if ((px - cx) * (px - cx) + (py - cy) * (py - cy) <= float(rho) * float(rho)) P.At(x, y) = v;
    }
}

}  // namespace

void PaintSoftRoundRect(TBitmap* Bmp, const TRect& R, int Transparency, int Radius, int Steps, TColor Color) {
  if (!Rows32(Bmp) || R.IsEmpty()) return;
  const int w = R.Width(), h = R.Height();
  auto copy = NewBitmap32(w, h), mask = NewBitmap32(w, h);
  const PixelRows M = Rows32(mask.get());
  if (!M || !Rows32(copy.get())) return;
  BitBlt(copy->Canvas()->Handle(), 0, 0, w, h, Bmp->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
  const int s = std::max(0, std::min({w / 2, h / 2, Steps}));
  const int rho = std::max(0, std::min({w / 2, h / 2, Radius}));
  const int t = Transparency * 255 / 100;
  for (int i = 0; i <= s; ++i) {
    const int level = i == 0 ? 255 : t + int(std::nearbyint(double(s - i) * (255 - t) / (s + 1)));
    FillRoundRect(M, i, i, w - i, h - i, rho, Pack(level, level, level, 0));
  }
  // The mask keeps the picture where it is white: the colour shows toward the inside.
  ApplyColorThroughMask(copy.get(), mask.get(), Color);
  BitBlt(Bmp->Canvas()->Handle(), R.Left, R.Top, w, h, copy->Canvas()->Handle(), 0, 0, SRCCOPY);
}
