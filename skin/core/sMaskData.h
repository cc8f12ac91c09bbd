#pragma once
// Bitmap services of the mask painters: channel transfers between bitmaps.

#include <memory>

#include "platform/vcl/Graphics.h"

// Byte Channel (0 blue, 1 green, 2 red, 3 alpha) of each Target pixel := the
// same byte of the Source pixel, over the area both 32-bit bitmaps share.
void CopyBitmapChannel(TBitmap* Target, TBitmap* Source, int Channel);
// Between byte Channel of a 32-bit bitmap and an 8-bit bitmap: into Bmp8 when
// ToBytes, else back into Bmp32. Over the area both bitmaps share.
void TransferChannel8(TBitmap* Bmp32, TBitmap* Bmp8, int Channel, bool ToBytes);

class TWinControl;

// Source rectangle copied into the target rectangle in nine parts: corners as
// they are (L-shaped where Inner is narrower than Outer), edges tiled (mode 0)
// or stretched (1) per EdgeModes (Left, Top, Right, Bottom), and with
// FillCentre the centre stretched or tiled.
void CopyBitmapNineParts(TBitmap* Target, TBitmap* Source, const TRect& TargetRect, const TRect& SourceRect,
                         const TRect& Outer, const TRect& Inner, const TRect& EdgeModes, bool StretchCentre,
                         bool FillCentre);
// The four border strips of a frame BorderWidth wide, copied between DCs.
void CopyBorderStrips(HDC TargetDC, int X, int Y, int W, int H, HDC SourceDC, int SourceX, int SourceY,
                      int BorderWidth);
void PaintSolidRect(HDC DC, const TRect& R, TColor Color);
// Removes the visible child controls of Control, placed at (X, Y), from DC's
// clip region. Graphic controls are painted over by their parent and stay.
void ExcludeControlsFromClip(HDC DC, TWinControl* Control, int X, int Y);
// The bitmap's rectangle without its runs of key pixels (the key's top byte
// cleared); the caller owns the region.
HRGN RegionFromBitmap(TBitmap* Bmp, TColor Key);
// A turned copy of a 32-bit bitmap: 90 and 270 degrees clockwise-counted as
// pixel (x, y) to (newWidth - 1 - y, x) and (y, W - 1 - x); 180 mirrors both
// ways; any other angle copies. nullptr for a nil bitmap or another format.
std::unique_ptr<TBitmap> RotateBitmap32(TBitmap* Bmp, int Angle);

// The window layer composes per-pixel alpha windows wherever it runs.
inline bool LayeredWindowsAvailable = true;
// Mirrored drawing is not offered by the drawing layer: setting does nothing and the layout reads 0.
inline void SetDCLayout(HDC, DWORD) {}
inline DWORD GetDCLayout(HDC) { return 0; }

// The downward arrow image that arrow painters turn and composite: Size is the
// half-width, Width the line width, Style 0..3 (1 and 3 outlined, 2 and 3 half
// height); FillColor in pixel order (0x1FFFFFFF: no fill), LineColor a TColor.
// Transparent pixels are white with alpha 0.
std::unique_ptr<TBitmap> MakeArrowShape(int Size, int Width, int Style, uint32_t FillColor, TColor LineColor,
                                        int TargetWidth);
