#pragma once
// Small 32-bit bitmaps whose pixels say where they came from.

#include <memory>

#include "skin/core/AlphaBitmaps.h"

// Pixel (x, y) = 0xFF000000 | tag << 16 | y << 8 | x: blue and green give the
// source coordinates, red tells source from target.
inline std::unique_ptr<TBitmap> CodedBitmap(int w, int h, uint32_t tag = 0x40, bool opaque = true) {
  auto b = NewBitmap32(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      SetPixel32(b.get(), x, y, (opaque ? 0xFF000000u : 0) | (tag << 16) | (uint32_t(y) << 8) | uint32_t(x));
  return b;
}

inline std::unique_ptr<TBitmap> FilledBitmap(int w, int h, uint32_t v) {
  auto b = NewBitmap32(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPixel32(b.get(), x, y, v);
  return b;
}

inline uint32_t Px(TBitmap* b, int x, int y) { return GetPixel32(b, x, y); }
