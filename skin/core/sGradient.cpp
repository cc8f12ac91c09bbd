#include "skin/core/sGradient.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/SysUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/acgpUtils.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"

using namespace skin_detail;

namespace {

std::vector<std::string_view> Fields(const String& Text) {
  std::vector<std::string_view> out;
  std::string_view s(Text);
  size_t i = 0;
  while (i < s.size()) {
    const size_t j = s.find(';', i);
    const size_t end = j == std::string_view::npos ? s.size() : j;
    if (end > i) out.push_back(s.substr(i, end - i));
    i = end + 1;
  }
  return out;
}

// Field n (1-based); a missing field reads as empty text, which is no number.
int Field(const std::vector<std::string_view>& f, size_t n) { return StrToInt(n - 1 < f.size() ? f[n - 1] : ""); }

}  // namespace

void PrepareGradArray(const String& Text, TsGradArray& Data) {
  Data.clear();
  if (Text.size() <= 4) return;
  const auto f = Fields(Text);
  if (Text.back() == '0') {
    const size_t count = f.size() / 5;
    int sum = 0;
    for (size_t i = 0; i < count; ++i) {
      TsGradPoint p;
      p.Index = uint16_t(i);
      p.Color.C = Field(f, 5 * i + 1);
      p.Color.SetA(255);
      p.Mode = Field(f, 5 * i + 4) & ~kGradSmooth;
      p.Percent = uint8_t(std::min(100, sum));
      sum += std::clamp(Field(f, 5 * i + 3), 0, 100);
      Data.push_back(p);
    }
    if (!Data.empty() && (Data[0].Mode & 3) == kGradFourCorner)
      while (Data.size() < 5) {
        Data.push_back(Data.back());
        Data.back().Index = uint16_t(Data.size() - 1);
      }
  } else {
    const int count = int(static_cast<unsigned char>(Text.back())) - 64;
    for (int i = 0; i < count; ++i) {
      TsGradPoint p;
      p.Index = uint16_t(i);
      p.Color.C = Field(f, 3 * size_t(i) + 1);
      p.Percent = uint8_t(std::clamp(Field(f, 3 * size_t(i) + 2), 0, 100));
      p.Mode = Field(f, 3 * size_t(i) + 3);
      Data.push_back(p);
      if (p.Mode & kGradSmooth) Data[0].Mode |= kGradAnySmooth;
    }
  }
  if (!Data.empty()) Data.back().Percent = 100;
}

namespace {

uint32_t Opaque(const TsColor& c) { return SwapRedBlue(uint32_t(c.C) & 0x00FFFFFF) | 0xFF000000u; }

bool Smooth(const TsGradArray& d, size_t k) { return ((d[k - 1].Mode | d[k].Mode) & kGradSmooth) != 0; }

// One floating accumulator per channel, from c1 toward c2 in n steps; Round per value.
struct Ramp {
  Ramp(uint32_t c1, uint32_t c2, int n) {
    for (int i = 0; i < 3; ++i) {
      acc[i] = Ch(c1, i);
      step[i] = n > 0 ? double(Ch(c2, i) - Ch(c1, i)) / n : 0;
    }
  }
  uint32_t Next() {
    const uint32_t v = Pack(int(std::nearbyint(acc[0])), int(std::nearbyint(acc[1])), int(std::nearbyint(acc[2])), 255);
    for (int i = 0; i < 3; ++i) acc[i] += step[i];
    return v;
  }
  double acc[3], step[3];
};

// R clipped to the bitmap; false when nothing is left.
bool ClipGradientRect(const TRect& R, const PixelRows& P, TRect& out) {
  if (R.IsEmpty()) return false;
  out = TRect(std::max(0, R.Left), std::max(0, R.Top), std::min(R.Right, P.width), std::min(R.Bottom, P.height));
  return !out.IsEmpty();
}

// The rows of each segment of a vertical gradient: fn(k, first row, last row), rows inclusive.
template <class Fn>
void VerticalSegments(const TsGradArray& d, const TRect& r, int bmpHeight, int offset, Fn&& fn) {
  int y = r.Top + offset;
  const int lim = std::min(r.Bottom, bmpHeight - 1);
  for (size_t k = 1; k < d.size(); ++k) {
    const bool last = k + 1 == d.size();
    const int prev = y;
    y = prev + (d[k].Percent - d[k - 1].Percent) * (r.Height() + offset) / 100;
    y = last ? lim : std::min(y, lim);
    if (y <= prev) continue;
    if (last) y = std::min(r.Bottom, bmpHeight) - 1;
    if (y > prev) fn(k, prev, y);
  }
}

// The columns of each segment of a horizontal gradient: fn(k, first, last), inclusive.
template <class Fn>
void HorizontalSegments(const TsGradArray& d, const TRect& r, Fn&& fn) {
  int x = r.Left;
  for (size_t k = 1; k < d.size(); ++k) {
    const int prev = x;
    x = int(std::nearbyint(prev + (d[k].Percent - d[k - 1].Percent) * double(r.Width()) / 100));
    // The last segment ends at the rectangle's last column, never beyond it.
    x = k + 1 == d.size() ? r.Right - 1 : std::min(x, r.Right - 1);
    fn(k, prev, x);
  }
}

void FillFourCorner(TBitmap* Bmp, const TRect& r, const TsGradArray& d) {
  HDC dc = Bmp->Canvas()->Handle();
  const int w = r.Width(), h = r.Height();
  if (d[0].Mode & kGradAnySmooth) {
    const TPoint pts[4] = {TPoint(r.Left, r.Top), TPoint(r.Left + w, r.Top), TPoint(r.Left + w, r.Top + h),
                           TPoint(r.Left, r.Top + h)};
    const TColor cols[4] = {d[0].Color.C, d[2].Color.C, d[3].Color.C, d[4].Color.C};
    FillFourCornerSmooth(dc, pts, cols, float(r.Left), float(r.Top), float(w), float(h), d[1].Color.C);
    return;
  }
  if (!GradientFillBound) return;
  auto vertex = [&](int x, int y, const TsColor& c) {
    return TRIVERTEX{x, y, COLOR16(c.R() << 8), COLOR16(c.G() << 8), COLOR16(c.B() << 8), 0xFF00};
  };
  const TRIVERTEX v[5] = {vertex(r.Left, r.Top, d[0].Color), vertex(r.Left + w / 2, r.Top + h / 2, d[1].Color),
                          vertex(r.Right, r.Top, d[2].Color), vertex(r.Right, r.Bottom, d[3].Color),
                          vertex(r.Left, r.Bottom, d[4].Color)};
  const GRADIENT_TRIANGLE t[4] = {{0, 1, 2}, {1, 2, 3}, {0, 1, 4}, {4, 1, 3}};
  GradientFill(dc, v, 5, t, 4, GRADIENT_FILL_TRIANGLE);
}

}  // namespace

void FillGradient(TBitmap* Bmp, const TRect& R, const TsGradArray& Data, int Offset) {
  const PixelRows P = Rows32(Bmp);
  TRect r;
  if (!P || Data.empty() || !ClipGradientRect(R, P, r)) return;
  switch (Data[0].Mode & 3) {
    case kGradVertical:
      VerticalSegments(Data, r, P.height, Offset, [&](size_t k, int first, int last) {
        const uint32_t c1 = Opaque(Data[k - 1].Color), c2 = Opaque(Data[k].Color);
        const int d = last - first;
        if (Smooth(Data, k)) {
          // The boundary row belongs to the previous segment.
          HDC dc = Bmp->Canvas()->Handle();
          const int saved = SaveDC(dc);
          ExcludeClipRect(dc, r.Left, first - 1, r.Right, first);
          FillVertGradientSmooth(dc, Data[k - 1].Color.C, Data[k].Color.C,
                                 float(r.Left), float(first - 1), float(r.Width()), float(d + 1));
          RestoreDC(dc, saved);
          return;
        }
        Ramp ramp(c1, c2, d);
        for (int y = std::max(0, first); y <= last; ++y) FillLongs(P.Row(y) + r.Left, r.Width(), ramp.Next());
      });
      break;
    case kGradHorizontal:
      HorizontalSegments(Data, r, [&](size_t k, int first, int last) {
        if (Smooth(Data, k)) {
          HDC dc = Bmp->Canvas()->Handle();
          const int saved = SaveDC(dc);
          ExcludeClipRect(dc, first - 1, r.Top, first, r.Bottom);
          FillHorzGradientSmooth(dc, Data[k - 1].Color.C, Data[k].Color.C,
                                 float(first - 1), float(r.Top), float(last - first + 2), float(r.Height()));
          RestoreDC(dc, saved);
          return;
        }
        const int n = last - first;
        if (n <= 0) return;
        Ramp ramp(Opaque(Data[k - 1].Color), Opaque(Data[k].Color), n);
        uint32_t* top = P.Row(r.Top);
        for (int x = first; x <= last; ++x) top[x] = ramp.Next();
        for (int y = r.Top + 1; y < r.Bottom; ++y) std::copy(top + first, top + last + 1, P.Row(y) + first);
      });
      break;
    case kGradFourCorner:
      if (Data.size() >= 5) FillFourCorner(Bmp, r, Data);
      break;
    default:
      break;
  }
}

void FillGradientTextured(TBitmap* Bmp, const TRect& R, const TsGradArray& Data, uint8_t Alpha,
                          uint8_t TextureBlend, const TRect& TexRect, TBitmap* TexBmp) {
  const PixelRows P = Rows32(Bmp), T = Rows32(TexBmp);
  if (!P || !T || Data.empty()) return;
  // The texture rectangle is kept inside the texture, so that every tile read lands in it.
  TRect tr = TexRect.IsEmpty() ? TRect(0, 0, T.width, T.height) : TexRect;
  tr.Left = std::max(0, tr.Left);
  tr.Top = std::max(0, tr.Top);
  int tw = std::max(0, tr.Width()), th = std::max(0, tr.Height());
  if (tr.Top + th >= T.height) th = T.height - tr.Top - 1;
  if (tr.Left + tw >= T.width) tw = T.width - tr.Left - 1;
  if (tw < 0 || th < 0) return;
  // Cutting a texture that fills its bitmap leaves no row or column: tile the one that is there.
  tw = std::max(tw, 1);
  th = std::max(th, 1);
  TRect r;
  if (!ClipGradientRect(R, P, r)) return;
  const int blend = TextureBlend;
  auto mixed = [&](uint32_t g, int x, int y) {
    const uint32_t t = T.At(tr.Left + x % tw, tr.Top + y % th);
    return Pack(MixToward(Ch(g, 0), Ch(t, 0), blend), MixToward(Ch(g, 1), Ch(t, 1), blend),
                MixToward(Ch(g, 2), Ch(t, 2), blend), Alpha);
  };
  switch (Data[0].Mode & 3) {
    case kGradVertical:
      VerticalSegments(Data, r, P.height, 0, [&](size_t k, int first, int last) {
        Ramp ramp(Opaque(Data[k - 1].Color), Opaque(Data[k].Color), last - first);
        for (int y = std::max(0, first); y <= last; ++y) {
          const uint32_t g = ramp.Next();
          uint32_t* row = P.Row(y);
          for (int x = r.Left; x < r.Right; ++x) row[x] = mixed(g, x, y);
        }
      });
      break;
    case kGradHorizontal: {
      uint32_t* top = P.Row(r.Top);
      HorizontalSegments(Data, r, [&](size_t k, int first, int last) {
        if (last - first <= 0) return;
        Ramp ramp(Opaque(Data[k - 1].Color), Opaque(Data[k].Color), last - first);
        for (int x = first; x <= last; ++x) top[x] = (ramp.Next() & 0x00FFFFFF) | (top[x] & 0xFF000000u);
      });
      // One texture period of rows is mixed, then replicated down the rectangle.
      const int h = std::min(th, r.Height());
      for (int y = r.Top + 1; y < r.Top + h; ++y)
        for (int x = r.Left; x < r.Right; ++x) P.At(x, y) = mixed(top[x], x, y);
      for (int x = r.Left; x < r.Right; ++x) top[x] = mixed(top[x], x, r.Top);
      HDC dc = Bmp->Canvas()->Handle();
      const int step = std::max(1, h - 1);
      int y = r.Top + h - 1;
      for (; y + step < r.Bottom - 1; y += step) BitBlt(dc, r.Left, y, r.Width(), step, dc, r.Left, r.Top, SRCCOPY);
      if (y < r.Bottom) BitBlt(dc, r.Left, y, r.Width(), r.Bottom - y, dc, r.Left, r.Top, SRCCOPY);
      break;
    }
    default:
      break;
  }
}

void PaintSmallArrow(TBitmap* Bmp, TColor Color, const TRect& R, int Direction) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  const uint32_t v = SwapRedBlue(uint32_t(Color));
  const int W = ArrowWidth, H = ArrowHeight;
  auto span = [&](int y, int x0, int x1) {  // inclusive columns
    if (x1 >= x0) FillLongs(P.Row(y) + x0, x1 - x0 + 1, v);
  };
  if (Direction == 1 || Direction == 3) {
    const int x = R.Left + (R.Width() - W) / 2, y = R.Top + (R.Height() - H) / 2;
    if (x < 0 || y < 0 || x + W >= P.width || y + H >= P.height) return;
    for (int i = 0; i < H; ++i) span(Direction == 1 ? y + H - 1 - i : y + i, x + i, x + W - 1 - i);
    return;
  }
  const int x = R.Left + (R.Width() - H) / 2, y = R.Top + (R.Height() - W) / 2;
  if (x < 0 || y < 0 || x + H >= P.width || y + W >= P.height) return;
  for (int i = 0; i <= W; ++i) {
    if (Direction == 0)
      span(y + i, i < H ? x + H - i : x + i - H, x + H - 1);
    else
      span(y + i, x, i < H ? x + i : x + W - i - 1);
  }
}

void PaintArrow(TBitmap* Bmp, TColor Color, TColor FillColor, const TRect& R, int Direction, int LineWidth, int Angle,
                int Size, int Style) {
  if (!Rows32(Bmp)) return;
  if (Size == 0) Size = ArrowSize;
  uint32_t fill;
  if (Style == arsLines1 || Style == arsLines2) {
    LineWidth = ArrowLineWidth;
    fill = FillColor == kNoColor ? uint32_t(kNoColor) : SwapRedBlue(uint32_t(FillColor)) | 0xFF000000u;
  } else {
    LineWidth = 1;
    fill = SwapRedBlue(uint32_t(Color)) | 0xFF000000u;
    Size -= 1;
    if (Style == arsSolid2 && R.Width() % 2 == 0) Size += 1;
  }
  std::unique_ptr<TBitmap> img = MakeArrowShape(Size, LineWidth, Style, fill, Color, R.Width());
  const PixelRows I = Rows32(img.get());
  if (!I) return;
  if (Direction == 1)
    for (int i = 0; i < I.height / 2; ++i) std::swap_ranges(I.Row(i), I.Row(i) + I.width, I.Row(I.height - 1 - i));
  else if (Direction == 2)
    img = RotateBitmap32(img.get(), 270);
  else if (Direction == 0)
    img = RotateBitmap32(img.get(), 90);
  if (!img) return;
  BlendBitmapAlpha(Bmp, img.get(), TRect(0, 0, img->Width() - 1, img->Height() - 1),
                   TPoint(R.Left + (R.Width() - img->Width()) / 2, R.Top + (R.Height() - img->Height()) / 2));
  if (Angle == 0) return;
  auto copy = NewBitmapLike(Bmp);
  CopyBitmapFrom(copy.get(), Bmp);
  DrawRotated(Bmp->Canvas()->Handle(), copy.get(), TPoint(Bmp->Width() / 2, Bmp->Height() / 2), Angle - 90);
}
