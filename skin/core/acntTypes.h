#pragma once
// Types every skin painter passes around.

#include "platform/vcl/Graphics.h"

// How a child copies its parent's background. Ready: Bmp holds the parent's
// image and (X, Y) is the child's origin inside it; otherwise FillColor is the
// parent's plain colour (clFuchsia: nothing is known).
struct TCacheInfo {
  TBitmap* Bmp = nullptr;  // borrowed
  int X = 0;
  int Y = 0;
  TColor FillColor = clFuchsia;
  TRect FillRect;
  bool Ready = false;
};

// The record that knows nothing about the parent.
inline constexpr TCacheInfo EmptyCI{nullptr, -99, -99, clFuchsia, TRect(), false};
