#pragma once
// Painting the masks of a loaded skin: the nine-part painting of a mask over
// a rectangle of any size, one state frame at a point, the piece copies with
// their transparency rules, and the transparent corner runs of a border mask.
//
// A mask's pixels lie in its own bitmap or in the skin's master bitmap at R;
// state frames lie side by side. MaskType 0: clFuchsia pixels (whole value)
// are transparent. MaskType > 0: a grey mask lies Height rows below the
// picture (0 shows the picture, 255 keeps what is under it). Targets are
// 32-bit bitmaps; nothing is reported, missing data paints nothing.

#include <vector>

#include "skin/core/acntTypes.h"
#include "skin/core/sSkinRecords.h"

// DrawMode bits of border masks.
constexpr int kMaskStretch = 1;       // edges and centre stretched, not tiled
constexpr int kMaskNotInNormal = 2;   // nothing in state 0
constexpr int kMaskPaintCentre = 4;   // the centre piece is painted

// Nine-part painting of MaskData over R of Bmp in State. UpdateCorners: the
// corners of a mask with transparent corners take the parent's background from CI.
void PaintMask(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, const TsMaskData& MaskData, int State,
               bool UpdateCorners);
// The same for a 32-bit target whose alpha must come out right (layered
// windows, 32-bit caches); key-colour corners always take CI.
void PaintMask32(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, int State, const TsMaskData& MaskData);
// The same at Opacity (0..255) for the outer effects of controls: a masked
// image's border strips are at most Margins (per side) thick, taken from the
// outermost columns and rows of the border; no centre. Key-colour images
// paint as PaintMask with their corners over the parent.
void PaintMaskBlended(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, int Opacity, const TRect& Margins, int State,
                      const TsMaskData& MaskData);
// State frame State unchanged in size at P. Mode 1 normal, 2 faded.
void PaintMaskFrame(TBitmap* Bmp, const TPoint& P, int State, const TCacheInfo& CI, const TsMaskData& MaskData,
                    int Mode);
TPoint MaskSize(const TsMaskData& MaskData);
// Appends the runs of key pixels in the corner margins of frame 0 (bottom or
// top rows) as one-row rectangles at Y, right-hand runs placed against TargetWidth.
void GetMaskTransparentRects(std::vector<TRect>& Rects, int TargetWidth, const TsMaskData& MaskData, bool Bottom,
                             int Y);

// ---- Pieces ----
// The mask lies MaskData.Height rows below the source rows (the frame height
// for every mask type), never lower than the source bitmap's last rows.
void CopyMaskedPiece(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& MaskData,
                     bool UseParent, const TCacheInfo& CI, TBitmap* Source);
void CopyMaskedPiece32(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& MaskData,
                       const TCacheInfo& CI, TBitmap* Source);
// CopyMaskedPiece32 with the picture's weight Opacity x (255 - m) shr 8.
void CopyMaskedPieceBlended(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, int Opacity,
                            const TsMaskData& MaskData, const TCacheInfo& CI, TBitmap* Source);
// Reads the master bitmap's picture and mask; key pixels take the parent (or FillColor).
void CopyMaskedTexturePiece(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target,
                            const TsMaskData& MaskData, const TCacheInfo& CI);
// SourceRect is inclusive.
void CopyKeyedPiece(TBitmap* Target, TBitmap* Source, int X, int Y, bool UseParent, const TCacheInfo& CI, TColor Key,
                    const TRect& SourceRect);
void CopyKeyedRect(TBitmap* Target, TBitmap* Source, int X, int Y, TColor Key, const TRect& SourceRect);
void StretchMaskedPiece(int X, int Y, int W, int H, bool Centre, int MaskOffset, TBitmap* Source, TBitmap* Target,
                        int SrcX, int SrcY, int SrcW, int SrcH);
void StretchMaskedPiece32(int X, int Y, int W, int H, bool Centre, int MaskOffset, TBitmap* Source, TBitmap* Target,
                          int SrcX, int SrcY, int SrcW, int SrcH);
// StretchMaskedPiece32 with the picture's weight ((255 - m) x Opacity) shr 8 (also where m is 0).
void StretchMaskedPieceBlended(int X, int Y, int W, int H, bool Centre, int MaskOffset, TBitmap* Source,
                               TBitmap* Target, int SrcX, int SrcY, int SrcW, int SrcH, int Opacity);
void CopyMaskFrame(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& MaskData,
                   int Mode, TBitmap* Source);
