#pragma once
// Small geometry helpers every skin unit calls.

#include "platform/vcl/Types.h"
#include "skin/core/acntTypes.h"

// Right and Bottom come first, as callers build a size-only rectangle with MakeRect(W, H, 0, 0).
constexpr TRect MakeRect(int Right, int Bottom, int Left, int Top) { return TRect(Left, Top, Right, Bottom); }
constexpr int RectWidthEx(const TRect& R, bool NoNegative) {
  const int w = R.Right - R.Left;
  return NoNegative && w < 0 ? 0 : w;
}
constexpr int RectHeightEx(const TRect& R, bool NoNegative) {
  const int h = R.Bottom - R.Top;
  return NoNegative && h < 0 ? 0 : h;
}
// A ready cache record over Bmp with the child's origin at (X, Y).
void MakeCacheInfo(TBitmap* Bmp, int X, int Y, TCacheInfo& CI);
