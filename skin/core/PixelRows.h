#pragma once
// Scan-line access and rectangle clipping shared by the pixel routines.
// Internal to the skin core.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/vcl/Graphics.h"

namespace skin_detail {

// Rows of a bitmap: row y starts at row0 + y * step (step < 0 for bottom-up bitmaps).
struct PixelRows {
  uint8_t* row0 = nullptr;
  ptrdiff_t step = 0;
  int width = 0;
  int height = 0;

  explicit operator bool() const { return row0 != nullptr; }
  uint8_t* Bytes(int y) const { return row0 + ptrdiff_t(y) * step; }
  uint32_t* Row(int y) const { return reinterpret_cast<uint32_t*>(Bytes(y)); }
  uint32_t& At(int x, int y) const { return Row(y)[x]; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Rows of any bitmap with rows; empty for nil or rowless bitmaps.
PixelRows RowsOf(TBitmap* Bmp);
// Rows of a 32-bit bitmap; empty for any other format, so that 32-bit loops
// never run past the rows of a narrower format.
PixelRows Rows32(TBitmap* Bmp);

// A copy between two bitmaps: w x h pixels from (sx, sy) to (dx, dy).
struct BlitArea {
  int dx = 0, dy = 0, sx = 0, sy = 0, w = 0, h = 0;
};

// The smaller of the two rectangles' sizes, moved inward where either side
// starts left of or above its bitmap and cut to both bitmaps. False when empty.
bool ClipBlit(const TRect& Target, const TRect& Source, int TargetW, int TargetH, int SourceW, int SourceH,
              BlitArea& Area);
// Source rectangle with an inclusive right column and bottom row (cut to the
// source's last ones) copied to a target point, clipped to both bitmaps.
bool ClipBlitInclusive(const TPoint& Target, const TRect& Source, int TargetW, int TargetH, int SourceW,
                       int SourceH, BlitArea& Area);
// R limited to (0, 0, W, H).
TRect ClipToBitmap(const TRect& R, int W, int H);

// Calls Fn(target pixel, source pixel, x, y) over an area; x and y are target coordinates.
template <class Fn>
void ForEachPair(const PixelRows& T, const PixelRows& S, const BlitArea& A, Fn&& fn) {
  for (int y = 0; y < A.h; ++y) {
    uint32_t* d = T.Row(A.dy + y) + A.dx;
    const uint32_t* s = S.Row(A.sy + y) + A.sx;
    for (int x = 0; x < A.w; ++x) fn(d[x], s[x], A.dx + x, A.dy + y);
  }
}

// Calls Fn(pixel, x, y) over R (already inside the bitmap).
template <class Fn>
void ForEachPixel(const PixelRows& P, const TRect& R, Fn&& fn) {
  for (int y = R.Top; y < R.Bottom; ++y) {
    uint32_t* row = P.Row(y);
    for (int x = R.Left; x < R.Right; ++x) fn(row[x], x, y);
  }
}

// Channel k (0 blue, 1 green, 2 red, 3 alpha) of a pixel, and a pixel from four channels.
constexpr int Ch(uint32_t p, int k) { return int((p >> (8 * k)) & 0xFF); }
constexpr uint32_t Pack(int b, int g, int r, int a) {
  return uint32_t(b & 0xFF) | (uint32_t(g & 0xFF) << 8) | (uint32_t(r & 0xFF) << 16) | (uint32_t(a & 0xFF) << 24);
}
// The library's mixing rule: c moves toward s by weight w / 256.
constexpr int MixToward(int c, int s, int w) { return ((s - c) * w + c * 256) >> 8; }

constexpr uint32_t kKeyPixel = 0xFF00FF;  // clFuchsia as a whole pixel value
constexpr TColor kNoColor = 0x1FFFFFFF;

}  // namespace skin_detail
