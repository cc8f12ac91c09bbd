#include "skin/core/sGraphUtils.h"

#include <algorithm>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace skin_detail;

bool GetBitmapRowInfo(TBitmap* Bmp, void*& Row0, int& Distance) {
  if (!Bmp || Bmp->Empty() || Bmp->Height() < 1) return false;
  auto* row0 = static_cast<uint8_t*>(Bmp->ScanLine(0));
  Distance = Bmp->Height() > 1 ? int(static_cast<uint8_t*>(Bmp->ScanLine(1)) - row0) : 0;
  Row0 = row0;
  return true;
}

void CopyBitmapFrom(TBitmap* Target, TBitmap* Source) {
  if (!Target || !Source || Target == Source) return;
  Target->SetHandleType(bmDIB);
  Target->SetPixelFormat(Source->PixelFormat());
  Target->SetSize(Source->Width(), Source->Height());
  if (Source->Empty() || Target->Empty()) return;
  BitBlt(Target->Canvas()->Handle(), 0, 0, Source->Width(), Source->Height(), Source->Canvas()->Handle(), 0, 0,
         SRCCOPY);
}

void FillLongs(void* Address, int Count, uint32_t Value) {
  if (Count > 0) std::fill_n(static_cast<uint32_t*>(Address), Count, Value);
}

namespace {

enum class AlphaRule { Over, Max };

// d := (d * (256 - a) + s * a) shr 8 per colour channel, a the source alpha; the
// target alpha moves toward 255 by a (Over) or becomes the larger alpha (Max).
template <AlphaRule Rule>
uint32_t BlendPixel(uint32_t d, uint32_t s) {
  const int a = Ch(s, 3);
  const int da = Ch(d, 3);
  const int na = Rule == AlphaRule::Over ? MixToward(da, 255, a) : std::max(da, a);
  return Pack(MixToward(Ch(d, 0), Ch(s, 0), a), MixToward(Ch(d, 1), Ch(s, 1), a), MixToward(Ch(d, 2), Ch(s, 2), a),
              na);
}

// The unkeyed whole-area blend, the path every uncached composite takes.
template <AlphaRule Rule>
void BlendRow(uint32_t* d, const uint32_t* s, int n) {
  int x = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i c256 = _mm_set1_epi16(256);
  // Alpha lanes blend toward 255 (Over) or are replaced by the larger alpha (Max).
  const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  const __m128i full = _mm_set1_epi16(255);
  for (; x + 4 <= n; x += 4) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x));
    __m128i out[2];
    for (int half = 0; half < 2; ++half) {
      const __m128i s16 = half ? _mm_unpackhi_epi8(sv, zero) : _mm_unpacklo_epi8(sv, zero);
      const __m128i d16 = half ? _mm_unpackhi_epi8(dv, zero) : _mm_unpacklo_epi8(dv, zero);
      // Spread each pixel's alpha over its four lanes.
      __m128i a = _mm_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3));
      a = _mm_shufflehi_epi16(a, _MM_SHUFFLE(3, 3, 3, 3));
      __m128i src = s16;
      if (Rule == AlphaRule::Over) src = _mm_or_si128(_mm_andnot_si128(alphaLanes, s16), _mm_and_si128(alphaLanes, full));
      // d * (256 - a) + s * a never exceeds 255 * 256, so 16-bit lanes hold it.
      __m128i r = _mm_add_epi16(_mm_mullo_epi16(d16, _mm_sub_epi16(c256, a)), _mm_mullo_epi16(src, a));
      r = _mm_srli_epi16(r, 8);
      if (Rule == AlphaRule::Max) {
        const __m128i mx = _mm_max_epi16(d16, s16);
        r = _mm_or_si128(_mm_andnot_si128(alphaLanes, r), _mm_and_si128(alphaLanes, mx));
      }
      out[half] = r;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), _mm_packus_epi16(out[0], out[1]));
  }
#endif
  for (; x < n; ++x) d[x] = BlendPixel<Rule>(d[x], s[x]);
}

template <AlphaRule Rule>
void BlendArea(const PixelRows& T, const PixelRows& S, const BlitArea& A) {
  for (int y = 0; y < A.h; ++y) BlendRow<Rule>(T.Row(A.dy + y) + A.dx, S.Row(A.sy + y) + A.sx, A.w);
}

// The parent's pixel behind target pixel (x, y), or false when the cache does not cover it.
bool ParentPixel(const TCacheInfo& CI, const PixelRows& Parent, int x, int y, uint32_t& p) {
  const int px = CI.X + x, py = CI.Y + y;
  if (!Parent || !Parent.Inside(px, py)) return false;
  p = Parent.At(px, py);
  return true;
}

}  // namespace

void BlendBitmapOver(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, bool UseParent,
                     const TCacheInfo& CI, TBitmap* Source) {
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  BlitArea A;
  if (!T || !S || !ClipBlit(TargetRect, SourceRect, T.width, T.height, S.width, S.height, A)) return;
  if (!CI.Ready) {
    BlendArea<AlphaRule::Over>(T, S, A);
    return;
  }
  const PixelRows parent = Rows32(CI.Bmp);
  ForEachPair(T, S, A, [&](uint32_t& d, uint32_t s, int x, int y) {
    if (s != kKeyPixel) {
      d = BlendPixel<AlphaRule::Over>(d, s);
      return;
    }
    uint32_t p;
    if (UseParent && ParentPixel(CI, parent, x, y, p)) d = p | 0xFF000000u;
  });
}

namespace {

constexpr bool Visible(uint32_t s) { return s != kKeyPixel && Ch(s, 3) > 16; }

// The tint brightened until its largest channel is 255, in pixel order.
uint32_t BrightTint(TColor TintColor) {
  const uint32_t c = SwapRedBlue(uint32_t(TintColor));
  const int add = 255 - std::max({Ch(c, 0), Ch(c, 1), Ch(c, 2)});
  return Pack(Ch(c, 0) + add, Ch(c, 1) + add, Ch(c, 2) + add, 0);
}

// The tint scaled by the pixel's luminance; the pixel keeps its alpha.
uint32_t Tinted(uint32_t s, uint32_t tint) {
  const int L = Ch(s, 2) / 4 + Ch(s, 1) / 2 + Ch(s, 0) / 4;
  return Pack(Ch(tint, 0) * L >> 8, Ch(tint, 1) * L >> 8, Ch(tint, 2) * L >> 8, Ch(s, 3));
}

uint32_t MixColours(uint32_t d, uint32_t s, int w) {
  return Pack(MixToward(Ch(d, 0), Ch(s, 0), w), MixToward(Ch(d, 1), Ch(s, 1), w), MixToward(Ch(d, 2), Ch(s, 2), w),
              Ch(d, 3));
}

}  // namespace

void BlendBitmapOverEx(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, bool Reflected, int Blend,
                       TColor TintColor, bool UseParent, const TCacheInfo& CI, TBitmap* Source) {
  if (!Source || !Target) return;
  Source->SetPixelFormat(pf32bit);
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  BlitArea A;
  if (!T || !S || !ClipBlit(TargetRect, SourceRect, T.width, T.height, S.width, S.height, A)) return;
  const int N = 100 - Blend;
  const bool tinted = TintColor != kNoColor;
  const uint32_t tint = tinted ? BrightTint(TintColor) : 0;

  if (!tinted && Blend == 0 && !CI.Ready) {
    BlendArea<AlphaRule::Max>(T, S, A);
  } else {
    const PixelRows parent = Rows32(CI.Bmp);
    ForEachPair(T, S, A, [&](uint32_t& d, uint32_t s, int x, int y) {
      if (CI.Ready && !Visible(s)) {
        uint32_t p;
        if (UseParent && ParentPixel(CI, parent, x, y, p)) d = (p & 0x00FFFFFF) | (d & 0xFF000000u);
        return;
      }
      const int a = Ch(s, 3);
      const uint32_t src = tinted ? Tinted(s, tint) : s;
      if (Blend != 0) {
        d = MixColours(d, src, N * a / 100);
        return;
      }
      const int da = Ch(d, 3);
      const int na = tinted && !CI.Ready ? MixToward(da, 255, a) : std::max(da, a);
      d = (MixColours(d, src, a) & 0x00FFFFFF) | (uint32_t(na) << 24);
    });
  }

  if (!Reflected) return;
  // A mirrored copy fading downwards below the target area. The source rows it
  // reads must exist too, which a short source rectangle low in a tall bitmap
  // would otherwise overrun.
  const int targetBottom = A.dy + A.h, sourceBottom = A.sy + A.h;
  const int r = std::min({S.height / 2 - 1, T.height - targetBottom - 1, sourceBottom - 1});
  if (r < 1) return;
  const int fadeStep = 255 / S.height;
  int f = 255;
  for (int k = 1; k <= r; ++k, f -= fadeStep) {
    uint32_t* d = T.Row(targetBottom + k) + A.dx;
    const uint32_t* s = S.Row(sourceBottom - k - 1) + A.sx;
    for (int x = 0; x < A.w; ++x) {
      if (!Visible(s[x])) continue;
      const int a = Ch(s[x], 3);
      int w = tinted ? (a * (r - k) / r) >> 2 : (a * (r - k) / r * f) >> 9;
      if (Blend != 0) w = N * w / 100;
      d[x] = MixColours(d[x], tinted ? Tinted(s[x], tint) : s[x], w);
    }
  }
}

namespace {

// An area of Source (inclusive rectangle) at a target point, clipped; false when empty.
bool InclusiveArea(TBitmap* Target, TBitmap* Source, const TRect& SourceRect, const TPoint& P, PixelRows& T,
                   PixelRows& S, BlitArea& A) {
  T = Rows32(Target);
  S = Rows32(Source);
  return T && S && ClipBlitInclusive(P, SourceRect, T.width, T.height, S.width, S.height, A);
}

uint32_t MixAll(uint32_t d, uint32_t s, const int w[4]) {
  return Pack(MixToward(Ch(d, 0), Ch(s, 0), w[0]), MixToward(Ch(d, 1), Ch(s, 1), w[1]),
              MixToward(Ch(d, 2), Ch(s, 2), w[2]), MixToward(Ch(d, 3), Ch(s, 3), w[3]));
}

}  // namespace

void BlendBitmapAlpha(TBitmap* Target, TBitmap* Source, const TRect& SourceRect, const TPoint& TargetPoint) {
  PixelRows T, S;
  BlitArea A;
  if (!InclusiveArea(Target, Source, SourceRect, TargetPoint, T, S, A)) return;
  ForEachPair(T, S, A, [](uint32_t& d, uint32_t s, int, int) {
    const int a = Ch(s, 3);
    const int w[4] = {a, a, a, a};
    d = MixAll(d, s, w);
  });
}

void BlendBitmapRect(TBitmap* Target, TBitmap* Source, uint8_t Weight, const TPoint& TargetPoint,
                     const TRect& SourceRect) {
  PixelRows T, S;
  BlitArea A;
  if (!InclusiveArea(Target, Source, SourceRect, TargetPoint, T, S, A)) return;
  const int W = Weight;
  ForEachPair(T, S, A, [W](uint32_t& d, uint32_t s, int, int) {
    // The source moves toward what lies under by W; the alpha's difference may be
    // negative, and only its low byte is kept.
    d = Pack(MixToward(Ch(s, 0), Ch(d, 0), W), MixToward(Ch(s, 1), Ch(d, 1), W), MixToward(Ch(s, 2), Ch(d, 2), W),
             Ch(s, 3) + ((W * (Ch(d, 3) - Ch(s, 3))) >> 8));
  });
}

void BlendTwoBitmaps(TBitmap* Target, TBitmap* A, TBitmap* B, int16_t Weight, TBitmap* Mask) {
  const PixelRows T = Rows32(Target), PA = Rows32(A), PB = Rows32(B);
  if (!T || !PA || !PB || PA.width != PB.width || PA.height != PB.height) return;
  const PixelRows M = Rows32(Mask);
  if (Mask && !M) return;
  int w = std::min(T.width, PA.width), h = std::min(T.height, PA.height);
  if (M) w = std::min(w, M.width), h = std::min(h, M.height);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t a = PA.At(x, y), b = PB.At(x, y);
      uint32_t& d = T.At(x, y);
      int v[3];
      for (int k = 0; k < 3; ++k)
        v[k] = M ? MixToward(Ch(b, k), Ch(a, k), Ch(M.At(x, y), k))
                 : Ch(b, k) - ((Weight * (Ch(b, k) - Ch(a, k)) + 255) >> 8);
      d = Pack(v[0], v[1], v[2], Ch(d, 3));
    }
}

void CopyBitmapKeyed(TBitmap* Target, int X, int Y, TColor Key, uint8_t Weight, const TRect& SourceRect,
                     TBitmap* Source) {
  PixelRows T, S;
  BlitArea A;
  if (!InclusiveArea(Target, Source, SourceRect, TPoint(X, Y), T, S, A)) return;
  const int W = Weight;
  ForEachPair(T, S, A, [&](uint32_t& d, uint32_t s, int, int) {
    if (s == uint32_t(Key)) return;
    int v[3];
    for (int k = 0; k < 3; ++k) v[k] = ((255 - W) * Ch(s, k) + W * Ch(d, k)) >> 8;
    d = Pack(v[0], v[1], v[2], Ch(d, 3));
  });
}

void DrawBitmapKeyed(TBitmap* Target, TBitmap* Source, int X, int Y, TColor Key) {
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  BlitArea A;
  if (!T || !S || !ClipBlit(TRect(X, Y, X + S.width, Y + S.height), TRect(0, 0, S.width, S.height), T.width, T.height,
                            S.width, S.height, A))
    return;
  const uint32_t key = SwapRedBlue(uint32_t(Key));
  ForEachPair(T, S, A, [key](uint32_t& d, uint32_t s, int, int) {
    if (s != key) d = s | 0xFF000000u;
  });
}

namespace {

// Every colour channel c of every pixel of a 32-bit bitmap (except Key) := fn(c, k).
template <class Fn>
void MapChannels(TBitmap* Bmp, uint32_t Key, bool Keyed, Fn&& fn) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  ForEachPixel(P, TRect(0, 0, P.width, P.height), [&](uint32_t& p, int, int) {
    if (Keyed && p == Key) return;
    p = Pack(fn(Ch(p, 0), 0), fn(Ch(p, 1), 1), fn(Ch(p, 2), 2), Ch(p, 3));
  });
}

}  // namespace

void MixBitmapWithColor(TBitmap* Bmp, uint8_t Weight, TColor Color) {
  const uint32_t c = SwapRedBlue(uint32_t(Color));
  MapChannels(Bmp, kKeyPixel, true, [&](int v, int k) { return (v * Weight + Ch(c, k) * (255 - Weight)) >> 8; });
}

void ApplyColorThroughMask(TBitmap* Bmp, TBitmap* Mask, TColor Color) {
  const PixelRows P = Rows32(Bmp), M = Rows32(Mask);
  if (!P || !M || P.width != M.width || P.height != M.height) return;
  const uint32_t c = SwapRedBlue(uint32_t(Color));
  ForEachPixel(P, TRect(0, 0, P.width, P.height), [&](uint32_t& p, int x, int y) {
    const uint32_t m = M.At(x, y);
    p = Pack(MixToward(Ch(c, 0), Ch(p, 0), Ch(m, 0)), MixToward(Ch(c, 1), Ch(p, 1), Ch(m, 1)),
             MixToward(Ch(c, 2), Ch(p, 2), Ch(m, 2)), Ch(p, 3));
  });
}
