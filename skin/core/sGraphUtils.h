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
