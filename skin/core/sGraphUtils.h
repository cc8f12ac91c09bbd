#pragma once
// Pixel routines of the skin's graphics layer: row access, compositing of
// 32-bit bitmaps with their alpha, keyed copies that skip the key colour
// clFuchsia (0xFF00FF as a whole pixel value), fixed-weight blends and
// colour mixing.
//
// Every routine clips its rectangles to both bitmaps: negative origins move
// both sides inward, the copied area is the smaller of the two rectangles,
// and an empty result does nothing.

#include <cstdint>
#include <vector>

#include "platform/vcl/Graphics.h"
#include "skin/core/acntTypes.h"

// Row 0's address and the signed byte distance from row 0 to row 1 (negative
// for bottom-up bitmaps, 0 for one row). False, nothing set, without rows.
bool GetBitmapRowInfo(TBitmap* Bmp, void*& Row0, int& Distance);
// Target becomes a copy of Source: same pixel format, size and pixels.
void CopyBitmapFrom(TBitmap* Target, TBitmap* Source);
// Count 32-bit values; nothing for Count <= 0.
void FillLongs(void* Address, int Count, uint32_t Value);

// Source over target by the source's alpha. With CI ready, key pixels are
// skipped, or with UseParent take the parent's pixel from CI.
void BlendBitmapOver(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, bool UseParent,
                     const TCacheInfo& CI, TBitmap* Source);
// As BlendBitmapOver with a blend percent (0 = opaque use of the alpha), a
// tint colour (0x1FFFFFFF: none) and a fading mirrored copy below the target
// rectangle. Source becomes 32-bit.
void BlendBitmapOverEx(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, bool Reflected, int Blend,
                       TColor TintColor, bool UseParent, const TCacheInfo& CI, TBitmap* Source);

// Straight source-over of an inclusive source rectangle at TargetPoint, alpha
// blended as well: alpha := ((a - alpha) * a + alpha * 256) shr 8.
void BlendBitmapAlpha(TBitmap* Target, TBitmap* Source, const TRect& SourceRect, const TPoint& TargetPoint);
// Fixed weight for what lies under: 0 copies the source, 255 keeps the target.
// SourceRect is inclusive.
void BlendBitmapRect(TBitmap* Target, TBitmap* Source, uint8_t Weight, const TPoint& TargetPoint,
                     const TRect& SourceRect);
// Target := A and B mixed by Weight, or through Mask's channels; A and B must
// have one size. The target's alpha stays.
void BlendTwoBitmaps(TBitmap* Target, TBitmap* A, TBitmap* B, int16_t Weight, TBitmap* Mask);
// Source pixels that differ from Key, mixed into the target at (X, Y) with
// Weight for the target (0 copies); SourceRect is inclusive.
void CopyBitmapKeyed(TBitmap* Target, int X, int Y, TColor Key, uint8_t Weight, const TRect& SourceRect,
                     TBitmap* Source);
// The whole source at (X, Y) except pixels equal to Key; copied pixels become opaque.
void DrawBitmapKeyed(TBitmap* Target, TBitmap* Source, int X, int Y, TColor Key);
// Every pixel but the key colour moves toward Color by 255 - Weight.
void MixBitmapWithColor(TBitmap* Bmp, uint8_t Weight, TColor Color);
// Mask 255 keeps a pixel, 0 gives Color; the bitmaps must have one size.
void ApplyColorThroughMask(TBitmap* Bmp, TBitmap* Mask, TColor Color);

// ---- Colour transforms and pixel filters ----
// A per-pixel procedure changes one 32-bit pixel in place by a value.
using TacPixelProc = void (*)(uint32_t* Pixel, int Value);
// Proc over every pixel of a 32-bit bitmap except those equal to KeyColor in
// pixel order (0x1FFFFFFF: no key).
void ApplyPixelFilter(TBitmap* Bmp, TacPixelProc Proc, int Value, TColor KeyColor);
void BrightnessProc(uint32_t* Pixel, int Value);
void SaturationProc(uint32_t* Pixel, int Value);
void HueProc(uint32_t* Pixel, int Value);
void ToneProc(uint32_t* Pixel, int Value);
void OpaqueProc(uint32_t* Pixel, int Value);

uint32_t BrightenPixel(uint32_t Pixel, int Amount);
// Amount -255 gives grey, positive amounts push away from grey.
uint32_t SaturatePixel(int Amount, uint32_t Pixel);
TColor SaturateColor(TColor Color, int Amount);
uint32_t HueShiftPixel(int Degrees, uint32_t Pixel);
TColor HueShiftColor(int Degrees, TColor Color);
// The tone's hue at the value's brightness; the value's top byte stays.
uint32_t ToneColor(uint32_t Value, uint32_t Tone);
constexpr TColor SwapRB(TColor Color) {
  return TColor((uint32_t(Color) & 0xFF00FF00u) | ((uint32_t(Color) >> 16) & 0xFF) | ((uint32_t(Color) & 0xFF) << 16));
}
void GrayscaleBitmap(TBitmap* Bmp);
// As GrayscaleBitmap, sparing pixels whose whole value equals Key.
void GrayscaleBitmapKeyed(TBitmap* Bmp, uint32_t Key);

// ---- Resampling ----
// One pass of the separable resampler: for each target pixel, (byte offset,
// 16.16 weight) pairs of the source pixels that contribute, in descending source order.
struct TContributor {
  int Offset;  // source index times the pass's step, in bytes
  int Weight;
};
struct TContributorList {
  std::vector<int> First;  // per target pixel: index of its first pair; one more entry ends the last
  std::vector<TContributor> Pairs;
};
// Filters: 0 box, 1 triangle, 2 Hermite, 3 bell, 4 B-spline, 5 windowed sine, 6 Mitchell.
constexpr int kResampleFilterCount = 7;
void BuildContributors(TContributorList& List, int DstSize, int SrcSize, int Step, uint8_t Filter);
void FreeContributors(TContributorList& List);
// Count target pixels, DstStep bytes apart from Dst; offsets in List are relative to Src.
void ApplyContributors(int SrcStep, int DstStep, uint8_t* Dst, const uint8_t* Src, const TContributorList& List,
                       int Count);
// Src resized into Dst (both become 32-bit) with the filter; nothing for sizes of 1 or less.
void ResampleBitmap32(TBitmap* Src, TBitmap* Dst, int NewWidth, int NewHeight, uint8_t Filter);

// ---- Rotation ----
double DegToRad(double X);
// Sine and cosine of 0..359 degrees (single precision), rebuilt before each rotated draw.
struct TSinCos {
  float Sin;
  float Cos;
};
extern TSinCos SinCosTable[360];
void BuildSinCosTable();

// Four corners (top-left, top-right, bottom-right, bottom-left) turned about their centre.
class TPrlgram {
 public:
  // Keeps min(4, High + 1) points.
  TPrlgram(const TPoint* APoints, int High);
  void Rotate(int Angle);  // 0..359, by the sine table
  // The rounded corner Index (0..3); other indexes leave Result as it was.
  void GetPoint(int Index, TPoint& Result) const;

 private:
  double FPoints[4][2] = {};
  int FCount = 0;
};
// Bmp drawn about Centre turned by Angle + 90 degrees clockwise (270 draws it
// unturned); Angle from -359 to 719.
void DrawRotated(HDC DC, TBitmap* Bmp, const TPoint& Centre, int Angle);
// Softens a 32-bit bitmap by scaling it to a quarter and back with smooth drawing.
void BlurByScaling(TBitmap* Bmp);
// A soft highlight: Color laid over R through nested rounded rectangles that
// fade from the edge (fully the colour's) inward to Transparency percent.
void PaintSoftRoundRect(TBitmap* Bmp, const TRect& R, int Transparency, int Radius, int Steps, TColor Color);
