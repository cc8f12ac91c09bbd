#pragma once
// 32-bit bitmaps with a real alpha channel: constructors, pixel access, byte
// order, premultiplying, alpha and colour fills, colour mixing and the
// disabled look of a control image.
//
// Pixels are bytes blue, green, red, alpha (0xAARRGGBB read as one value);
// TColor values are 0x00BBGGRR and go through SwapRedBlue on their way into a
// pixel. Routines that take a 32-bit bitmap do nothing for a nil bitmap, one
// without rows or one of another pixel format.

#include <cstdint>
#include <memory>

#include "platform/vcl/Graphics.h"
#include "platform/win/Windows.h"
#include "skin/core/acntTypes.h"

// ---- Disabled look (library-wide, read only by the library) ----
// Weight of a disabled control's own image over what lies behind it, and the
// mixing weight of a disabled text colour with its background.
inline uint8_t DefDisabledBlend = 100;
// Saturation change of grayed images in percent; -100 is a true grayscale.
inline int DisabledSaturation = -90;

// Layered windows here always compose per-pixel alpha, so premultiplying uses
// the composed form (c * a shr 8 for every pixel) unless told otherwise.
inline constexpr bool kComposedPremultiply = true;

// ---- Constructors (the caller owns the result) ----
// pf32bit, bmDIB; a size that cannot be allocated gives a 0 x 0 bitmap instead of an error.
std::unique_ptr<TBitmap> NewBitmap32(int Width, int Height);
std::unique_ptr<TBitmap> NewBitmap32ForRect(const TRect& R);  // negative sizes count as 0
std::unique_ptr<TBitmap> NewBitmap32ForSize(const TSize& Size);
std::unique_ptr<TBitmap> NewBitmap32Like(const TBitmap* Bmp);
class TControl;
// The size of a form (its whole window).
std::unique_ptr<TBitmap> NewBitmap32ForForm(const TControl* Form);
// Same width, height and pixel format as Bmp.
std::unique_ptr<TBitmap> NewBitmapLike(const TBitmap* Bmp);

// ---- Pixels and byte order ----
// The 32-bit value at column X of scan line Row, whatever the pixel format; 0
// (and nothing written) where those four bytes would leave the row.
uint32_t GetPixel32(TBitmap* Bmp, int X, int Row);
void SetPixel32(TBitmap* Bmp, int X, int Row, uint32_t Value);
// Writes the pixel and returns the row's address (nullptr when outside).
void* SetPixel32Row(TBitmap* Bmp, int X, int Row, uint32_t Value);
constexpr uint32_t SwapRedBlue(uint32_t V) { return (V & 0xFF00FF00u) | ((V >> 16) & 0xFF) | ((V & 0xFF) << 16); }
constexpr uint32_t SwapBytes32(uint32_t V) {
  return (V >> 24) | ((V >> 8) & 0xFF00u) | ((V << 8) & 0xFF0000u) | (V << 24);
}
// Count values in place (big-endian integers of file headers).
void SwapBytes32Array(uint32_t* P, int Count);
void InitBlendFunction(BLENDFUNCTION& BF, uint8_t Alpha);

// ---- Pixel operations on 32-bit bitmaps ----
// 0x00FFFFFF (white, alpha 0) becomes 0.
void ClearWhitePixels32(TBitmap* Bmp);
void PremultiplyBitmap(TBitmap* Bmp);
// Rows Top..Bottom-1, columns Left..Right-1, cut to the bitmap.
void PremultiplyRect(TBitmap* Bmp, const TRect& R, bool Composed = kComposedPremultiply);
// Alpha := Alpha over R (cut to the bitmap), except pixels equal to Key (0x1FFFFFFF: none).
void SetAlphaInRect(TBitmap* Bmp, const TRect& R, uint8_t Alpha, int32_t Key);
void FillRect32(TBitmap* Bmp, const TRect& R, TColor Color, uint8_t Alpha);
// Moves each channel Percent % of the way toward Color; alpha := Alpha.
void TintRect32(TBitmap* Bmp, const TRect& R, TColor Color, uint8_t Alpha, uint8_t Percent);
// Right and Bottom are inclusive here.
void BlendRectWithColor(TBitmap* Bmp, const TRect& R, uint8_t Weight, TColor Color);
TColor MixColors(TColor Color1, TColor Color2, uint8_t K);

enum TacDisabledKindEnum { dkBlended = 1, dkGrayed = 2 };
using TacDisabledKind = TSet<TacDisabledKindEnum>;
// The disabled look: grayed and/or blended with the parent's background.
// ParentColor stands in for the parent control's colour when the cache knows none.
void ApplyDisabledKind(TBitmap* Bmp, TacDisabledKind Kind, TColor ParentColor, const TPoint& Offset,
                       const TCacheInfo& ParentCache);

// Makes a bitmap of any format 32-bit, opaque except the clFuchsia key, which
// gets alpha 0. A bitmap that is 32-bit already is left as it is.
void MakeKeyedBitmap32(TBitmap* Bmp);

// An icon whose transparent pixels are those equal to the top-left one (the
// whole value for a 32-bit Bmp, the colour for other formats; Bmp stays 32-bit). nullptr when the icon cannot
// be made. The caller destroys it.
HICON CreateIconFromBitmap(TBitmap* Bmp);
// An icon carrying Bmp's alpha; a Bmp of another format is first made 32-bit
// with the clFuchsia key transparent (MakeKeyedBitmap32). The caller destroys it.
HICON CreateAlphaIcon(TBitmap* Bmp);

// A new 32-bit bitmap from a colour image over a grey mask of the same height
// (the mask's red gives 255 - alpha); nullptr for an empty half.
std::unique_ptr<TBitmap> BitmapFromMaskedHalves(TBitmap* Source, const TRect& R);

// Text drawn into a 32-bit bitmap so that its alpha stays right: rendered
// black on white into a scratch bitmap with Bmp's canvas font, then merged.
// AlphaMode: for transparent or premultiplied layers (the ink raises the
// alpha); otherwise the target becomes opaque. TextColor is a COLORREF.
// Text8Bit is accepted for callers that pass 8-bit text; text is UTF-8 either way.
void DrawTextToBitmap32(TBitmap* Bmp, const String& Text, bool AlphaMode, bool Text8Bit, TColor TextColor,
                        UINT DrawTextFlags, const TRect& R);
