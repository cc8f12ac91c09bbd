#pragma once
// Multi-point gradients of skin sections: the gradient text of a skin's
// options, its parsed point array and the painters (plain, mixed with a tiled
// texture, four-corner), plus the small arrows of scroll and drop-down buttons.

#include <cstdint>
#include <vector>

#include "platform/vcl/Graphics.h"

// A colour with its bytes reachable: R, G, B and the alpha A used by smooth drawing.
struct TsColor {
  TColor C = 0;
  uint8_t R() const { return uint8_t(uint32_t(C)); }
  uint8_t G() const { return uint8_t(uint32_t(C) >> 8); }
  uint8_t B() const { return uint8_t(uint32_t(C) >> 16); }
  uint8_t A() const { return uint8_t(uint32_t(C) >> 24); }
  void SetA(uint8_t A) { C = TColor((uint32_t(C) & 0x00FFFFFFu) | (uint32_t(A) << 24)); }
  int32_t I() const { return C; }
};

struct TsGradPoint {
  uint16_t Index = 0;   // position in the array
  int32_t Mode = 0;     // point 0's bits 0-1: type; bit 4: smooth segment; point 0's bit 5: some point is smooth
  TsColor Color;
  uint8_t Percent = 0;  // position along the gradient, 0..100
};
using TsGradArray = std::vector<TsGradPoint>;

constexpr int kGradVertical = 0, kGradHorizontal = 1, kGradFourCorner = 2, kGradNone = 3;
constexpr int kGradSmooth = 16, kGradAnySmooth = 32;

// The four-corner fill without smooth segments uses the drawing layer's vertex
// gradients; cleared to run as if they were missing.
inline bool GradientFillBound = true;

// Parses a gradient text (old layout: five fields per point, last character
// "0"; new layout: three fields per point and a count letter). A field that is
// not a number raises EConvertError.
void PrepareGradArray(const String& Text, TsGradArray& Data);
// Paints the gradient into R of a 32-bit bitmap, opaque.
void FillGradient(TBitmap* Bmp, const TRect& R, const TsGradArray& Data, int Offset = 0);
// The gradient mixed with a texture tiled from the bitmap's origin
// (TextureBlend: the texture's weight), alpha := Alpha. An empty TexRect
// means the whole texture.
void FillGradientTextured(TBitmap* Bmp, const TRect& R, const TsGradArray& Data, uint8_t Alpha,
                          uint8_t TextureBlend, const TRect& TexRect, TBitmap* TexBmp);

// Arrow sizes, rescaled with the skin; ArrowHeight follows ArrowWidth.
inline int ArrowWidth = 7;
inline int ArrowHeight = 4;
inline int ArrowSize = 5;
inline int ArrowLineWidth = 2;
enum TacArrowsStyle { arsSolid1, arsLines1, arsSolid2, arsLines2, arsDefault };
// Directions: 0 left, 1 up, 2 right, 3 down.
// A solid arrow of ArrowWidth x ArrowHeight centred in R; Color's top byte is the alpha written.
void PaintSmallArrow(TBitmap* Bmp, TColor Color, const TRect& R, int Direction);
// An antialiased arrow of a style, built pointing down, turned to Direction,
// composited centred in R and, with Angle, the whole bitmap turned by Angle
// degrees clockwise. Size 0 means ArrowSize; FillColor 0x1FFFFFFF: no fill.
void PaintArrow(TBitmap* Bmp, TColor Color, TColor FillColor, const TRect& R, int Direction, int LineWidth, int Angle,
                int Size, int Style);
