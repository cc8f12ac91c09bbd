#pragma once
// Smooth drawing: antialiased lines, linear and path gradients and
// high-quality scaling, drawn onto device contexts of the drawing layer.
//
// The smooth-drawing library is optional, as the library it stands for is on
// the systems the skins were made for: with GdiPlusLoaded cleared every
// routine here paints nothing, which is how skins behave without it.
//
// Composition (fixed, so that results are deterministic): a colour with alpha
// a at coverage k is laid over the target as source-over with weight
// w = a * k / 255 on all four channels: c := c + (s - c) * w / 255, rounded,
// and the target's alpha moves toward 255 by the same weight. Image drawing
// copies (premultiplied) instead of blending.

#include "platform/vcl/Graphics.h"

// Cleared to run as if the smooth-drawing library were missing.
inline bool GdiPlusLoaded = true;
// Lines are drawn antialiased (2: high quality); no routine changes it.
inline uint8_t GdiSmoothingMode = 2;

// Start-up and shut-down bookkeeping of the library; nothing when Flag is
// false or the library is missing.
void StartGdiPlus(bool Flag);
void StopGdiPlus(bool Flag);
bool GdiPlusStarted();

// An antialiased line with flat ends, Width wide; Color's top byte is ignored (opaque).
void DrawLineSmooth(HDC DC, TColor Color, float X1, float Y1, float X2, float Y2, float Width);
// Source rectangle scaled onto the whole destination (bilinear), keeping the
// colours of transparent pixels; both bitmaps 32-bit.
void StretchBitmapSmooth(TBitmap* Dest, TBitmap* Src, int SrcX, int SrcY, int SrcW, int SrcH);
// Rectangle (X, Y, W, H) filled with a linear gradient from Color1 at X (Y) to
// Color2 at X + W (Y + H), repeating beyond; colours carry their alpha in the top byte.
void FillHorzGradientSmooth(HDC DC, TColor Color1, TColor Color2, float X, float Y, float W, float H);
void FillVertGradientSmooth(HDC DC, TColor Color1, TColor Color2, float X, float Y, float W, float H);
// The part of the rectangle inside the quadrilateral Points filled with a path
// gradient: CenterColor at the points' centre, Colors along the edges.
void FillFourCornerSmooth(HDC DC, const TPoint Points[4], const TColor Colors[4], float X, float Y, float W, float H,
                          TColor CenterColor);
