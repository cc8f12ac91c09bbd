#include "skin/core/acgpUtils.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"

using namespace skin_detail;

namespace {

int gStarted = 0;

// Colour in ARGB order (pixel order) from a TColor whose top byte is the alpha.
uint32_t Argb(TColor c) { return SwapRedBlue(uint32_t(c)); }

// Lays a straight ARGB colour over a pixel at coverage k (0..1).
uint32_t Over(uint32_t d, uint32_t s, float k) {
  const float w = Ch(s, 3) / 255.0f * k;
  if (w <= 0) return d;
  int v[4];
  for (int i = 0; i < 3; ++i) v[i] = int(std::nearbyint(Ch(d, i) + (Ch(s, i) - Ch(d, i)) * w));
  v[3] = int(std::nearbyint(Ch(d, 3) + (255 - Ch(d, 3)) * w));
  return Pack(v[0], v[1], v[2], v[3]);
}

// Paints through the DC, so that its origin and clipping hold: the area is read
// into a 32-bit scratch bitmap, painted there and copied back. Paint gets the
// scratch rows and the area's logical top-left.
void PaintThroughDC(HDC DC, float x0, float y0, float x1, float y1,
                    const std::function<void(const PixelRows&, int, int)>& Paint) {
  if (!DC || !GdiPlusLoaded) return;
  const int l = int(std::floor(std::min(x0, x1))), t = int(std::floor(std::min(y0, y1)));
  const int r = int(std::ceil(std::max(x0, x1))), b = int(std::ceil(std::max(y0, y1)));
  if (r <= l || b <= t) return;
  // Nothing outside the DC's clip box can show: keep the scratch to what can.
  RECT clip;
  if (GetClipBox(DC, &clip) == ERROR) return;
  const TRect area(std::max(l, int(clip.left)), std::max(t, int(clip.top)), std::min(r, int(clip.right)),
                   std::min(b, int(clip.bottom)));
  if (area.IsEmpty()) return;
  auto scratch = NewBitmap32(area.Width(), area.Height());
  const PixelRows P = Rows32(scratch.get());
  if (!P) return;
  HDC sdc = scratch->Canvas()->Handle();
  BitBlt(sdc, 0, 0, area.Width(), area.Height(), DC, area.Left, area.Top, SRCCOPY);
  Paint(P, area.Left, area.Top);
  BitBlt(DC, area.Left, area.Top, area.Width(), area.Height(), sdc, 0, 0, SRCCOPY);
}

// Pixels whose centres lie in [x, x + w) x [y, y + h) get fn(px, py) laid over them at full coverage.
void FillRectPixels(HDC DC, float X, float Y, float W, float H, const std::function<uint32_t(float, float)>& colour) {
  if (W <= 0 || H <= 0) return;
  PaintThroughDC(DC, X, Y, X + W, Y + H, [&](const PixelRows& P, int ox, int oy) {
    for (int y = 0; y < P.height; ++y)
      for (int x = 0; x < P.width; ++x) {
        const float cx = ox + x + 0.5f, cy = oy + y + 0.5f;
        if (cx < X || cy < Y || cx >= X + W || cy >= Y + H) continue;
        P.At(x, y) = Over(P.At(x, y), colour(cx, cy), 1);
      }
  });
}

uint32_t Lerp(uint32_t a, uint32_t b, float t) {
  int v[4];
  for (int i = 0; i < 4; ++i) v[i] = int(std::nearbyint(Ch(a, i) + (Ch(b, i) - Ch(a, i)) * t));
  return Pack(v[0], v[1], v[2], v[3]);
}

void FillLinear(HDC DC, uint32_t c1, uint32_t c2, float X, float Y, float W, float H, bool vertical) {
  const float start = vertical ? Y : X, length = vertical ? H : W;
  if (length == 0) return;
  FillRectPixels(DC, X, Y, W, H, [&](float cx, float cy) {
    float t = ((vertical ? cy : cx) - start) / length;
    t -= std::floor(t);  // tiled beyond the end points
    return Lerp(c1, c2, t);
  });
}

}  // namespace

void StartGdiPlus(bool Flag) {
  if (Flag && GdiPlusLoaded) ++gStarted;
}

void StopGdiPlus(bool Flag) {
  if (Flag && GdiPlusLoaded && gStarted > 0) --gStarted;
}

bool GdiPlusStarted() { return gStarted > 0; }

void DrawLineSmooth(HDC DC, TColor Color, float X1, float Y1, float X2, float Y2, float Width) {
  if (Width <= 0) return;
  const uint32_t colour = Argb(Color) | 0xFF000000u;
  const float dx = X2 - X1, dy = Y2 - Y1, len = std::hypot(dx, dy);
  if (len == 0) return;
  const float ux = dx / len, uy = dy / len, half = Width / 2;
  const float pad = half + 1;
  PaintThroughDC(DC, std::min(X1, X2) - pad, std::min(Y1, Y2) - pad, std::max(X1, X2) + pad,
                 std::max(Y1, Y2) + pad, [&](const PixelRows& P, int ox, int oy) {
                   // Coverage from 4 x 4 samples: inside when within half the width of the line
                   // and between its end points.
                   constexpr int kSub = 4;
                   for (int y = 0; y < P.height; ++y)
                     for (int x = 0; x < P.width; ++x) {
                       int inside = 0;
                       for (int sy = 0; sy < kSub; ++sy)
                         for (int sx = 0; sx < kSub; ++sx) {
                           const float px = ox + x + (sx + 0.5f) / kSub - X1, py = oy + y + (sy + 0.5f) / kSub - Y1;
                           const float along = px * ux + py * uy, across = std::fabs(py * ux - px * uy);
                           inside += along >= 0 && along <= len && across <= half;
                         }
                       if (inside) P.At(x, y) = Over(P.At(x, y), colour, float(inside) / (kSub * kSub));
                     }
                 });
}

void FillHorzGradientSmooth(HDC DC, TColor Color1, TColor Color2, float X, float Y, float W, float H) {
  FillLinear(DC, Argb(Color1), Argb(Color2), X, Y, W, H, false);
}

void FillVertGradientSmooth(HDC DC, TColor Color1, TColor Color2, float X, float Y, float W, float H) {
  FillLinear(DC, Argb(Color1), Argb(Color2), X, Y, W, H, true);
}

void FillFourCornerSmooth(HDC DC, const TPoint Points[4], const TColor Colors[4], float X, float Y, float W, float H,
                          TColor CenterColor) {
  const float cx = (Points[0].X + Points[1].X + Points[2].X + Points[3].X) / 4.0f;
  const float cy = (Points[0].Y + Points[1].Y + Points[2].Y + Points[3].Y) / 4.0f;
  const uint32_t centre = Argb(CenterColor);
  uint32_t edge[4];
  for (int i = 0; i < 4; ++i) edge[i] = Argb(Colors[i]);
  FillRectPixels(DC, X, Y, W, H, [&](float px, float py) -> uint32_t {
    // The ray from the centre through the pixel meets one edge at parameter s of
    // the edge and f of the ray; the pixel lies inside when f >= 1.
    const float rx = px - cx, ry = py - cy;
    if (rx == 0 && ry == 0) return centre;
    for (int i = 0; i < 4; ++i) {
      const TPoint a = Points[i], b = Points[(i + 1) % 4];
      const float ex = float(b.X - a.X), ey = float(b.Y - a.Y);
      const float den = rx * ey - ry * ex;
      if (den == 0) continue;
      const float ax = a.X - cx, ay = a.Y - cy;
      const float f = (ax * ey - ay * ex) / den;  // boundary point = centre + f * ray
      const float s = (ax * ry - ay * rx) / den;  // and = a + s * edge
      if (f <= 0 || s < 0 || s > 1) continue;
      if (f < 1) return 0;  // outside the path: clamped, nothing painted
      return Lerp(centre, Lerp(edge[i], edge[(i + 1) % 4], s), 1 / f);
    }
    return 0;
  });
}

void StretchBitmapSmooth(TBitmap* Dest, TBitmap* Src, int SrcX, int SrcY, int SrcW, int SrcH) {
  if (!GdiPlusLoaded || !Dest || !Src || SrcW <= 0 || SrcH <= 0) return;
  std::unique_ptr<TBitmap> copy;
  if (Dest == Src) {  // read from a copy while the pixels change
    copy = std::make_unique<TBitmap>();
    copy->Assign(Src);
    Src = copy.get();
  }
  const PixelRows D = Rows32(Dest), S = Rows32(Src);
  if (!D || !S) return;
  // Alphas are carried as a shr 1 + 127, so that no pixel is fully transparent and its colour survives.
  auto carried = [&](int x, int y) {
    const uint32_t p = S.At(std::clamp(x, 0, S.width - 1), std::clamp(y, 0, S.height - 1));
    return (p & 0x00FFFFFF) | (uint32_t((Ch(p, 3) >> 1) + 127) << 24);
  };
  const float sx = float(SrcW) / D.width, sy = float(SrcH) / D.height;
  for (int y = 0; y < D.height; ++y) {
    const float fy = SrcY + (y + 0.5f) * sy - 0.5f;
    const int y0 = int(std::floor(fy));
    const float ty = fy - y0;
    for (int x = 0; x < D.width; ++x) {
      const float fx = SrcX + (x + 0.5f) * sx - 0.5f;
      const int x0 = int(std::floor(fx));
      const float tx = fx - x0;
      const uint32_t p = Lerp(Lerp(carried(x0, y0), carried(x0 + 1, y0), tx),
                              Lerp(carried(x0, y0 + 1), carried(x0 + 1, y0 + 1), tx), ty);
      // Copied premultiplied, then decoded back to straight colour and the full alpha range.
      const int a = Ch(p, 3);
      int c[3];
      for (int i = 0; i < 3; ++i) c[i] = (Ch(p, i) * a + 127) / 255;
      for (int i = 0; i < 3; ++i) c[i] = std::min(255, int(unsigned(c[i]) * 256 / unsigned(a)));
      D.At(x, y) = Pack(c[0], c[1], c[2], std::min(255, 2 * a - 254));
    }
  }
}
