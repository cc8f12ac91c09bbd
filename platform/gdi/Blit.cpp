// Copies between bitmaps: raster operations, stretching, keyed copies and alpha blending.

#include <vector>

#include "platform/gdi/GdiInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace gdi;

namespace {

HDC__* Dc(HDC h) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  return (dc && dc->st.bitmap) ? dc : nullptr;
}

// Raster operations on 32-bit pixel values; false for unsupported codes.
bool RopNeedsSource(DWORD rop) {
  return rop != PATCOPY && rop != PATINVERT && rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS;
}

bool RopKnown(DWORD rop) {
  switch (rop) {
    case SRCCOPY: case SRCPAINT: case SRCAND: case SRCINVERT: case SRCERASE: case NOTSRCCOPY:
    case NOTSRCERASE: case MERGEPAINT: case PATCOPY: case PATINVERT: case DSTINVERT: case BLACKNESS:
    case WHITENESS:
      return true;
    default:
      return false;
  }
}

uint32_t ApplyRop(DWORD rop, uint32_t s, uint32_t d) {
  switch (rop) {
    case SRCPAINT: return s | d;
    case SRCAND: return s & d;
    case SRCINVERT: return s ^ d;
    case SRCERASE: return s & ~d;
    case NOTSRCCOPY: return ~s;
    case NOTSRCERASE: return ~(s | d);
    case MERGEPAINT: return ~s | d;
    default: return s;
  }
}

// The rectangle of w x h pixels at p, kept within int range whatever the caller passed.
RECT Extent(POINT p, int w, int h) {
  constexpr int64_t kLimit = int64_t(1) << 30;
  auto end = [&](LONG a, int n) { return LONG(std::clamp<int64_t>(int64_t(a) + n, -kLimit, kLimit)); };
  return RECT{p.x, p.y, end(p.x, w), end(p.y, h)};
}

// Remembers the last colour looked up, which saves palette searches on runs.
struct Encoder {
  explicit Encoder(const HBITMAP__* b) : bmp(b) {}
  uint32_t operator()(uint32_t bgra) {
    if (!bmp->Paletted()) return bmp->Encode(bgra);
    if (bgra != lastIn || !valid) {
      lastIn = bgra;
      lastOut = bmp->Encode(bgra);
      valid = true;
    }
    return lastOut;
  }
  const HBITMAP__* bmp;
  uint32_t lastIn = 0, lastOut = 0;
  bool valid = false;
};

bool SameLayout(const HBITMAP__* a, const HBITMAP__* b) {
  if (a->kind != b->kind) return false;
  if (!a->Paletted()) return true;
  return a->paletteSize == b->paletteSize &&
         std::memcmp(a->palette.data(), b->palette.data(), sizeof(RGBQUAD) * size_t(a->paletteSize)) == 0;
}

// A private copy of a bitmap (pixels and palette), for copies within one bitmap.
std::unique_ptr<HBITMAP__> Snapshot(const HBITMAP__* b) {
  auto copy = std::make_unique<HBITMAP__>();
  copy->width = b->width;
  copy->height = b->height;
  copy->bitCount = b->bitCount;
  copy->kind = b->kind;
  copy->stride = b->stride;
  copy->topDown = b->topDown;
  copy->palette = b->palette;
  copy->paletteSize = b->paletteSize;
  const size_t bytes = size_t(b->stride) * size_t(b->height);
  copy->bits = static_cast<uint8_t*>(std::malloc(bytes));
  if (!copy->bits) return nullptr;
  std::memcpy(copy->bits, b->bits, bytes);
  return copy;
}

// Copies within one bitmap read from a snapshot, so that overlapping areas copy as they were.
bool SeparateSource(const HBITMAP__*& src, const HBITMAP__* dst, std::unique_ptr<HBITMAP__>& snapshot) {
  if (src != dst) return true;
  snapshot = Snapshot(src);
  src = snapshot.get();
  return src != nullptr;
}

// Applies fn(x, y) for every visible device pixel of r, row by row.
template <class Fn>
void ForEachVisiblePixel(HDC__* dc, const RECT& r, Fn&& fn) {
  dc->visible.ForEachRectIn(r, [&](const RECT& c) {
    for (int y = c.top; y < c.bottom; ++y)
      for (int x = c.left; x < c.right; ++x) fn(x, y);
  });
}

}  // namespace

BOOL PatBlt(HDC h, int x, int y, int w, int hgt, DWORD rop) {
  HDC__* dc = Dc(h);
  if (!dc || RopNeedsSource(rop) || !RopKnown(rop)) return FALSE;
  const POINT p = dc->ToSurface(x, y);
  const RECT e = Extent(p, w, hgt);
  const RECT r{std::min(e.left, e.right), std::min(e.top, e.bottom), std::max(e.left, e.right),
               std::max(e.top, e.bottom)};
  COLORREF color = 0;
  switch (rop) {
    case BLACKNESS: FillDeviceRect(dc, r, RGB(0, 0, 0)); return TRUE;
    case WHITENESS: FillDeviceRect(dc, r, RGB(255, 255, 255)); return TRUE;
    case PATCOPY:
      if (BrushColor(dc, dc->st.brush, color)) FillDeviceRect(dc, r, color);
      return TRUE;
    default: break;
  }
  uint32_t mask = 0xFFFFFF;
  if (rop == PATINVERT) {
    if (!BrushColor(dc, dc->st.brush, color)) return TRUE;
    mask = ColorToBgra(color);
  }
  HBITMAP__* b = dc->st.bitmap;
  ForEachVisiblePixel(dc, r, [&](int px, int py) { b->Write(px, py, (b->Read(px, py) ^ mask) & 0xFFFFFFu); });
  return TRUE;
}

BOOL BitBlt(HDC hdst, int x, int y, int w, int h, HDC hsrc, int sx, int sy, DWORD rop) {
  if (!RopKnown(rop)) return FALSE;
  if (!RopNeedsSource(rop)) return PatBlt(hdst, x, y, w, h, rop);
  HDC__* dst = Dc(hdst);
  HDC__* src = Dc(hsrc);
  if (!dst || !src) return FALSE;
  if (w <= 0 || h <= 0) return TRUE;
  POINT d = dst->ToSurface(x, y);
  POINT s = src->ToSurface(sx, sy);
  const HBITMAP__* sb = src->st.bitmap;
  // Only pixels that exist in the source are copied.
  if (s.x < 0) { d.x -= s.x; w += s.x; s.x = 0; }
  if (s.y < 0) { d.y -= s.y; h += s.y; s.y = 0; }
  w = std::min(w, sb->width - int(s.x));
  h = std::min(h, sb->height - int(s.y));
  if (w <= 0 || h <= 0) return TRUE;

  HBITMAP__* db = dst->st.bitmap;
  std::unique_ptr<HBITMAP__> snapshot;
  if (!SeparateSource(sb, db, snapshot)) return FALSE;
  const int ox = s.x - d.x, oy = s.y - d.y;
  const bool raw = rop == SRCCOPY && SameLayout(sb, db);
  const int bytesPerPixel = db->bitCount / 8;
  Encoder encode(db);
  dst->visible.ForEachRectIn(Extent(d, w, h), [&](const RECT& c) {
    for (int row = c.top; row < c.bottom; ++row) {
      if (raw && bytesPerPixel > 0) {
        std::memcpy(db->Row(row) + size_t(c.left) * bytesPerPixel, sb->Row(row + oy) + size_t(c.left + ox) * bytesPerPixel,
                    size_t(c.right - c.left) * bytesPerPixel);
      } else if (raw) {
        for (int col = c.left; col < c.right; ++col) db->WriteEncoded(col, row, sb->ReadStored(col + ox, row + oy));
      } else {
        for (int col = c.left; col < c.right; ++col) {
          const uint32_t sp = sb->Read(col + ox, row + oy);
          const uint32_t dp = rop == SRCCOPY ? 0 : db->Read(col, row);
          db->WriteEncoded(col, row, encode(ApplyRop(rop, sp, dp)));
        }
      }
    }
  });
  return TRUE;
}

namespace {

// Stretch taps of one axis: for each destination index the source indices and
// weights (summing to kOne) of the halftone filter.
constexpr int kShift = 12;
constexpr int kOne = 1 << kShift;
struct Taps {
  std::vector<int> first;   // per destination index: offset into index/weight
  std::vector<int> index;
  std::vector<int> weight;
};

// Taps for destination indices [from, to) only; first[0] belongs to index from.
Taps MakeTaps(int dstLength, int srcLength, int from, int to) {
  const int64_t dstLen = dstLength, srcLen = srcLength;  // products below exceed int
  Taps t;
  t.first.reserve(size_t(to - from) + 1);
  for (int i = from; i < to; ++i) {
    t.first.push_back(int(t.index.size()));
    const size_t begin = t.index.size();
    if (srcLen >= dstLen) {
      // Box: the source pixels the destination pixel covers, by overlap (units of 1/dstLen pixel).
      const int64_t a = int64_t(i) * srcLen, b = int64_t(i + 1) * srcLen;
      for (int64_t j = a / dstLen; j * dstLen < b; ++j) {
        const int64_t overlap = std::min(b, (j + 1) * dstLen) - std::max(a, j * dstLen);
        if (overlap <= 0) continue;
        t.index.push_back(int(j));
        t.weight.push_back(int(overlap * kOne / srcLen));
      }
    } else {
      // Bilinear between the two nearest source centres, in 1/(2*dstLen) pixel units.
      const int64_t c = (2 * int64_t(i) + 1) * srcLen - dstLen;  // (centre - 0.5) * 2 * dstLen
      int64_t j = c >= 0 ? c / (2 * dstLen) : -1;
      const int64_t frac = c >= 0 ? (c - j * 2 * dstLen) * kOne / (2 * dstLen) : kOne;
      const int j0 = int(std::clamp<int64_t>(j, 0, srcLen - 1)), j1 = int(std::clamp<int64_t>(j + 1, 0, srcLen - 1));
      t.index.push_back(j0);
      t.weight.push_back(int(kOne - frac));
      t.index.push_back(j1);
      t.weight.push_back(int(frac));
    }
    // Put rounding loss on the first tap so that weights sum to exactly kOne.
    int sum = 0;
    for (size_t k = begin; k < t.index.size(); ++k) sum += t.weight[k];
    t.weight[begin] += kOne - sum;
  }
  t.first.push_back(int(t.index.size()));
  return t;
}

}  // namespace

BOOL StretchBlt(HDC hdst, int x, int y, int w, int h, HDC hsrc, int sx, int sy, int sw, int sh, DWORD rop) {
  if (!RopKnown(rop)) return FALSE;
  if (!RopNeedsSource(rop)) return PatBlt(hdst, x, y, w, h, rop);
  if (w == sw && h == sh && w > 0 && h > 0) return BitBlt(hdst, x, y, w, h, hsrc, sx, sy, rop);
  HDC__* dst = Dc(hdst);
  HDC__* src = Dc(hsrc);
  if (!dst || !src) return FALSE;
  bool mirrorX = false, mirrorY = false;
  // A negative extent runs from the given pixel backwards, that pixel included.
  if (w < 0) { x += w + 1; w = -w; mirrorX = !mirrorX; }
  if (h < 0) { y += h + 1; h = -h; mirrorY = !mirrorY; }
  if (sw < 0) { sx += sw + 1; sw = -sw; mirrorX = !mirrorX; }
  if (sh < 0) { sy += sh + 1; sh = -sh; mirrorY = !mirrorY; }
  if (w == 0 || h == 0 || sw == 0 || sh == 0) return TRUE;
  const POINT d = dst->ToSurface(x, y);
  const POINT s = src->ToSurface(sx, sy);
  const HBITMAP__* sb = src->st.bitmap;
  HBITMAP__* db = dst->st.bitmap;
  std::unique_ptr<HBITMAP__> snapshot;
  if (!SeparateSource(sb, db, snapshot)) return FALSE;
  auto inSource = [&](int px, int py) { return px >= 0 && py >= 0 && px < sb->width && py < sb->height; };
  Encoder encode(db);
  auto put = [&](int px, int py, uint32_t sp) {
    const uint32_t dp = rop == SRCCOPY ? 0 : db->Read(px, py);
    db->WriteEncoded(px, py, encode(ApplyRop(rop, sp, dp)));
  };
  const RECT target = Extent(d, w, h);

  // Nearest source pixel for each target pixel.
  auto srcXOf = [&](int px) {
    int i = px - d.x;
    if (mirrorX) i = w - 1 - i;
    return s.x + int((2 * int64_t(i) + 1) * sw / (2 * int64_t(w)));
  };
  auto srcYOf = [&](int py) {
    int j = py - d.y;
    if (mirrorY) j = h - 1 - j;
    return s.y + int((2 * int64_t(j) + 1) * sh / (2 * int64_t(h)));
  };
  if (dst->st.stretchMode != HALFTONE && rop == SRCCOPY && SameLayout(sb, db) && db->bitCount == 32) {
    // Whole pixels of one layout: copied row by row (every frame of a growing animation is one of these).
    dst->visible.ForEachRectIn(target, [&](const RECT& c) {
      std::vector<int> cols(size_t(c.right - c.left));
      for (int px = c.left; px < c.right; ++px) cols[size_t(px - c.left)] = srcXOf(px);
      for (int py = c.top; py < c.bottom; ++py) {
        const int sy2 = srcYOf(py);
        if (sy2 < 0 || sy2 >= sb->height) continue;
        const auto* from = reinterpret_cast<const uint32_t*>(sb->Row(sy2));
        auto* to = reinterpret_cast<uint32_t*>(db->Row(py));
        for (int px = c.left; px < c.right; ++px) {
          const int sx2 = cols[size_t(px - c.left)];
          if (sx2 >= 0 && sx2 < sb->width) to[px] = from[sx2];
        }
      }
    });
    return TRUE;
  }
  if (dst->st.stretchMode != HALFTONE) {
    ForEachVisiblePixel(dst, target, [&](int px, int py) {
      const int srcX = srcXOf(px), srcY = srcYOf(py);
      if (inSource(srcX, srcY)) put(px, py, sb->Read(srcX, srcY));
    });
    return TRUE;
  }

  // Halftone: separable filter over the visible part of the target only; source
  // pixels outside the bitmap count as black.
  RECT vis;
  const RECT box = dst->visible.Box();
  if (!IntersectRect(&vis, &box, &target)) return TRUE;
  const int cols = vis.right - vis.left;
  const int ix0 = mirrorX ? int(d.x) + w - int(vis.right) : int(vis.left - d.x);
  const int iy0 = mirrorY ? int(d.y) + h - int(vis.bottom) : int(vis.top - d.y);
  const Taps tx = MakeTaps(w, sw, ix0, ix0 + cols), ty = MakeTaps(h, sh, iy0, iy0 + (vis.bottom - vis.top));
  // Source rows the vertical taps reach and that exist, filtered horizontally once each.
  int r0 = INT32_MAX, r1 = INT32_MIN;
  for (int k : ty.index) {
    r0 = std::min(r0, k);
    r1 = std::max(r1, k + 1);
  }
  r0 = std::max(r0, -int(s.y));
  r1 = std::min(r1, sb->height - int(s.y));
  auto pack = [](const uint32_t acc[4]) {
    uint32_t v = 0;
    for (int ch = 0; ch < 4; ++ch) v |= std::min(255u, (acc[ch] + kOne / 2) >> kShift) << (8 * ch);
    return v;
  };
  std::vector<uint32_t> rows(size_t(std::max(0, r1 - r0)) * size_t(cols));
  for (int j = r0; j < r1; ++j) {
    for (int i = 0; i < cols; ++i) {
      uint32_t acc[4] = {0, 0, 0, 0};
      for (int k = tx.first[size_t(i)]; k < tx.first[size_t(i) + 1]; ++k) {
        const int px = s.x + tx.index[size_t(k)];
        if (px < 0 || px >= sb->width) continue;
        const uint32_t p = sb->Read(px, s.y + j);
        for (int ch = 0; ch < 4; ++ch) acc[ch] += ((p >> (8 * ch)) & 255) * uint32_t(tx.weight[size_t(k)]);
      }
      rows[size_t(j - r0) * size_t(cols) + size_t(i)] = pack(acc);
    }
  }
  ForEachVisiblePixel(dst, target, [&](int px, int py) {
    int i = px - d.x, j = py - d.y;
    if (mirrorX) i = w - 1 - i;
    if (mirrorY) j = h - 1 - j;
    i -= ix0;
    j -= iy0;
    uint32_t acc[4] = {0, 0, 0, 0};
    for (int k = ty.first[size_t(j)]; k < ty.first[size_t(j) + 1]; ++k) {
      const int row = ty.index[size_t(k)];
      if (row < r0 || row >= r1) continue;
      const uint32_t p = rows[size_t(row - r0) * size_t(cols) + size_t(i)];
      for (int ch = 0; ch < 4; ++ch) acc[ch] += ((p >> (8 * ch)) & 255) * uint32_t(ty.weight[size_t(k)]);
    }
    put(px, py, pack(acc));
  });
  return TRUE;
}

BOOL TransparentBlt(HDC hdst, int x, int y, int w, int h, HDC hsrc, int sx, int sy, int sw, int sh,
                    UINT transparent) {
  HDC__* dst = Dc(hdst);
  HDC__* src = Dc(hsrc);
  if (!dst || !src || w < 0 || h < 0 || sw < 0 || sh < 0) return FALSE;
  if (w == 0 || h == 0 || sw == 0 || sh == 0) return TRUE;
  const POINT d = dst->ToSurface(x, y);
  const POINT s = src->ToSurface(sx, sy);
  const HBITMAP__* sb = src->st.bitmap;
  HBITMAP__* db = dst->st.bitmap;
  if (sb == db) return FALSE;
  const uint32_t key = ColorToBgra(transparent);
  Encoder encode(db);
  ForEachVisiblePixel(dst, Extent(d, w, h), [&](int px, int py) {
    const int srcX = s.x + int((2 * int64_t(px - d.x) + 1) * sw / (2 * int64_t(w)));
    const int srcY = s.y + int((2 * int64_t(py - d.y) + 1) * sh / (2 * int64_t(h)));
    if (srcX < 0 || srcY < 0 || srcX >= sb->width || srcY >= sb->height) return;
    const uint32_t p = sb->Read(srcX, srcY);
    if ((p & 0xFFFFFF) != key) db->WriteEncoded(px, py, encode(p));
  });
  return TRUE;
}

namespace {

// Two channels at once: lanes 0x00XX00YY times k, each divided by 255 with Div255's rounding.
inline uint32_t MulDiv255Lanes(uint32_t lanes, uint32_t k) {
  const uint32_t t = lanes * k + 0x00800080;
  return ((t + ((t >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
}

// Clamps two 9-bit lane sums to 255 (a source that is not premultiplied may overshoot).
inline uint32_t SaturateLanes(uint32_t lanes) {
  const uint32_t over = lanes & 0x01000100;
  return (lanes | (over - (over >> 8))) & 0x00FF00FF;
}

inline uint32_t BlendPixel(uint32_t s, uint32_t d, uint32_t sca, bool perPixel) {
  uint32_t srb = s & 0x00FF00FF, sag = (s >> 8) & 0x00FF00FF;
  if (sca != 255) {
    srb = MulDiv255Lanes(srb, sca);
    sag = MulDiv255Lanes(sag, sca);
  }
  const uint32_t inv = 255 - (perPixel ? (sag >> 16) : sca);
  const uint32_t rb = SaturateLanes(srb + MulDiv255Lanes(d & 0x00FF00FF, inv));
  const uint32_t ag = SaturateLanes(sag + MulDiv255Lanes((d >> 8) & 0x00FF00FF, inv));
  return rb | (ag << 8);
}

// One row of 32-bit pixels; four at a time where SSE2 is there, with the same arithmetic.
void BlendRow(const uint32_t* sp, uint32_t* dp, int n, uint32_t sca, bool perPixel) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(128), full = _mm_set1_epi16(255);
  const __m128i k = _mm_set1_epi16(short(sca)), invK = _mm_set1_epi16(short(255 - sca));
  const auto div255 = [&](__m128i x) {
    const __m128i t = _mm_add_epi16(x, half);
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
  };
  // Eight channels of two pixels in 16-bit lanes.
  const auto blend = [&](__m128i src, __m128i dst) {
    if (sca != 255) src = div255(_mm_mullo_epi16(src, k));
    const __m128i inv =
        perPixel ? _mm_sub_epi16(full, _mm_shufflehi_epi16(_mm_shufflelo_epi16(src, 0xFF), 0xFF)) : invK;
    return _mm_add_epi16(src, div255(_mm_mullo_epi16(dst, inv)));
  };
  for (; n >= 4; n -= 4, sp += 4, dp += 4) {
    const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sp));
    const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
    const __m128i lo = blend(_mm_unpacklo_epi8(src, zero), _mm_unpacklo_epi8(dst, zero));
    const __m128i hi = blend(_mm_unpackhi_epi8(src, zero), _mm_unpackhi_epi8(dst, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), _mm_packus_epi16(lo, hi));  // clamps to 255
  }
#endif
  for (; n > 0; --n, ++sp, ++dp) *dp = BlendPixel(*sp, *dp, sca, perPixel);
}

}  // namespace

BOOL AlphaBlend(HDC hdst, int x, int y, int w, int h, HDC hsrc, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend) {
  HDC__* dst = Dc(hdst);
  HDC__* src = Dc(hsrc);
  if (!dst || !src || blend.BlendOp != AC_SRC_OVER) return FALSE;
  if (w < 0 || h < 0 || sw < 0 || sh < 0) return FALSE;
  const POINT d = dst->ToSurface(x, y);
  const POINT s = src->ToSurface(sx, sy);
  const HBITMAP__* sb = src->st.bitmap;
  HBITMAP__* db = dst->st.bitmap;
  if (s.x < 0 || s.y < 0 || s.x + sw > sb->width || s.y + sh > sb->height || sb == db) return FALSE;
  if (w == 0 || h == 0 || sw == 0 || sh == 0) return TRUE;
  const uint32_t sca = blend.SourceConstantAlpha;
  const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  const bool direct = sw == w && sh == h && sb->kind == PixKind::Bgra32 && db->kind == PixKind::Bgra32;
  Encoder encode(db);
  dst->visible.ForEachRectIn(Extent(d, w, h), [&](const RECT& c) {
    for (int row = c.top; row < c.bottom; ++row) {
      if (direct) {
        const uint32_t* sp = reinterpret_cast<const uint32_t*>(sb->Row(row - d.y + s.y)) + (c.left - d.x + s.x);
        uint32_t* dp = reinterpret_cast<uint32_t*>(db->Row(row)) + c.left;
        BlendRow(sp, dp, c.right - c.left, sca, perPixel);
        continue;
      }
      const int srcY = s.y + int((2 * int64_t(row - d.y) + 1) * sh / (2 * int64_t(h)));
      for (int col = c.left; col < c.right; ++col) {
        const int srcX = s.x + int((2 * int64_t(col - d.x) + 1) * sw / (2 * int64_t(w)));
        db->WriteEncoded(col, row, encode(BlendPixel(sb->Read(srcX, srcY), db->Read(col, row), sca, perPixel)));
      }
    }
  });
  return TRUE;
}

UINT GetDIBColorTable(HDC h, UINT start, UINT count, RGBQUAD* colors) {
  HDC__* dc = Dc(h);
  if (!dc || !colors) return 0;
  const HBITMAP__* b = dc->st.bitmap;
  UINT n = 0;
  for (UINT i = start; i < UINT(b->paletteSize) && n < count; ++i, ++n) colors[n] = b->palette[i];
  return n;
}

UINT SetDIBColorTable(HDC h, UINT start, UINT count, const RGBQUAD* colors) {
  HDC__* dc = Dc(h);
  if (!dc || !colors) return 0;
  HBITMAP__* b = dc->st.bitmap;
  UINT n = 0;
  for (UINT i = start; i < UINT(b->paletteSize) && n < count; ++i, ++n) b->palette[i] = colors[n];
  return n;
}

namespace {

// Barycentric fill of one triangle, sampled at pixel centres.
void FillTriangle(HDC__* dc, const TRIVERTEX& a, const TRIVERTEX& b, const TRIVERTEX& c) {
  const POINT pa = dc->ToSurface(a.x, a.y), pb = dc->ToSurface(b.x, b.y), pc = dc->ToSurface(c.x, c.y);
  const double area = double(pb.x - pa.x) * (pc.y - pa.y) - double(pb.y - pa.y) * (pc.x - pa.x);
  if (area == 0) return;
  const RECT box{std::min({pa.x, pb.x, pc.x}), std::min({pa.y, pb.y, pc.y}), std::max({pa.x, pb.x, pc.x}) + 1,
                 std::max({pa.y, pb.y, pc.y}) + 1};
  HBITMAP__* bmp = dc->st.bitmap;
  Encoder encode(bmp);
  auto channel = [](double wa, double wb, double wc, COLOR16 ca, COLOR16 cb, COLOR16 cc) {
    return uint32_t(std::clamp(wa * ca + wb * cb + wc * cc, 0.0, 65535.0)) >> 8;
  };
  ForEachVisiblePixel(dc, box, [&](int x, int y) {
    const double px = x + 0.5, py = y + 0.5;
    const double wa = ((pb.x - px) * (pc.y - py) - (pb.y - py) * (pc.x - px)) / area;
    const double wb = ((pc.x - px) * (pa.y - py) - (pc.y - py) * (pa.x - px)) / area;
    const double wc = 1 - wa - wb;
    constexpr double kEdge = -1e-9;
    if (wa < kEdge || wb < kEdge || wc < kEdge) return;
    const uint32_t v = (channel(wa, wb, wc, a.Alpha, b.Alpha, c.Alpha) << 24) |
                       (channel(wa, wb, wc, a.Red, b.Red, c.Red) << 16) |
                       (channel(wa, wb, wc, a.Green, b.Green, c.Green) << 8) | channel(wa, wb, wc, a.Blue, b.Blue, c.Blue);
    bmp->WriteEncoded(x, y, encode(v));
  });
}

void FillGradientRect(HDC__* dc, const TRIVERTEX& ul, const TRIVERTEX& lr, bool vertical) {
  const POINT a = dc->ToSurface(ul.x, ul.y), b = dc->ToSurface(lr.x, lr.y);
  const RECT r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  const int span = vertical ? r.bottom - r.top : r.right - r.left;
  if (span <= 0) return;
  HBITMAP__* bmp = dc->st.bitmap;
  Encoder encode(bmp);
  auto channel = [span](int i, COLOR16 from, COLOR16 to) {
    return uint32_t((int64_t(from) * (span - i) + int64_t(to) * i) / span) >> 8;
  };
  ForEachVisiblePixel(dc, r, [&](int x, int y) {
    const int i = vertical ? y - r.top : x - r.left;
    const uint32_t v = (channel(i, ul.Alpha, lr.Alpha) << 24) | (channel(i, ul.Red, lr.Red) << 16) |
                       (channel(i, ul.Green, lr.Green) << 8) | channel(i, ul.Blue, lr.Blue);
    bmp->WriteEncoded(x, y, encode(v));
  });
}

}  // namespace

BOOL GradientFill(HDC h, const TRIVERTEX* vertices, DWORD vertexCount, const void* mesh, DWORD meshCount, DWORD mode) {
  HDC__* dc = Dc(h);
  if (!dc || !vertices || (!mesh && meshCount)) return FALSE;
  if (mode == GRADIENT_FILL_TRIANGLE) {
    const auto* t = static_cast<const GRADIENT_TRIANGLE*>(mesh);
    for (DWORD i = 0; i < meshCount; ++i)
      if (t[i].Vertex1 >= vertexCount || t[i].Vertex2 >= vertexCount || t[i].Vertex3 >= vertexCount) return FALSE;
    for (DWORD i = 0; i < meshCount; ++i)
      FillTriangle(dc, vertices[t[i].Vertex1], vertices[t[i].Vertex2], vertices[t[i].Vertex3]);
    return TRUE;
  }
  if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V) return FALSE;
  const auto* r = static_cast<const GRADIENT_RECT*>(mesh);
  for (DWORD i = 0; i < meshCount; ++i)
    if (r[i].UpperLeft >= vertexCount || r[i].LowerRight >= vertexCount) return FALSE;
  for (DWORD i = 0; i < meshCount; ++i)
    FillGradientRect(dc, vertices[r[i].UpperLeft], vertices[r[i].LowerRight], mode == GRADIENT_FILL_RECT_V);
  return TRUE;
}

BOOL PlgBlt(HDC hdst, const POINT* points, HDC hsrc, int sx, int sy, int w, int h, HBITMAP mask, int, int) {
  HDC__* dst = Dc(hdst);
  HDC__* src = Dc(hsrc);
  if (!dst || !src || !points || mask) return FALSE;
  if (w <= 0 || h <= 0) return TRUE;
  const POINT p0 = dst->ToSurface(points[0].x, points[0].y), p1 = dst->ToSurface(points[1].x, points[1].y),
              p2 = dst->ToSurface(points[2].x, points[2].y);
  // Destination = p0 + u * (p1 - p0) / w + v * (p2 - p0) / h; invert for each destination pixel centre.
  const double ax = double(p1.x - p0.x) / w, ay = double(p1.y - p0.y) / w;
  const double bx = double(p2.x - p0.x) / h, by = double(p2.y - p0.y) / h;
  const double det = ax * by - ay * bx;
  if (det == 0) return TRUE;
  const LONG p3x = p1.x + p2.x - p0.x, p3y = p1.y + p2.y - p0.y;
  const RECT box{std::min({p0.x, p1.x, p2.x, p3x}), std::min({p0.y, p1.y, p2.y, p3y}),
                 std::max({p0.x, p1.x, p2.x, p3x}), std::max({p0.y, p1.y, p2.y, p3y})};
  const POINT s0 = src->ToSurface(sx, sy);
  const HBITMAP__* sb = src->st.bitmap;
  HBITMAP__* db = dst->st.bitmap;
  std::unique_ptr<HBITMAP__> snapshot;
  if (!SeparateSource(sb, db, snapshot)) return FALSE;
  Encoder encode(db);
  ForEachVisiblePixel(dst, box, [&](int x, int y) {
    const double dx = x + 0.5 - p0.x, dy = y + 0.5 - p0.y;
    const double u = (dx * by - dy * bx) / det, v = (ax * dy - ay * dx) / det;
    if (u < 0 || v < 0 || u >= w || v >= h) return;
    const int px = s0.x + int(u), py = s0.y + int(v);
    if (px < 0 || py < 0 || px >= sb->width || py >= sb->height) return;
    db->WriteEncoded(x, y, encode(sb->Read(px, py)));
  });
  return TRUE;
}
