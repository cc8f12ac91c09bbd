#pragma once
// Painting from a loaded skin: texture fills, section backgrounds by state,
// whole items (background, corner images, border), 32-bit section images,
// skinned text into 32-bit bitmaps and the shadow template under a border's
// transparent corners. Nothing is reported: invalid indexes, a missing skin
// or bitmap and empty rectangles paint nothing.

#include "skin/core/acntTypes.h"
#include "skin/core/sSkinRecords.h"

// ---- Textures ----
// Fills Rect of the canvas with the texture Mask in fill mode Mode (0..14) and
// returns in Rect what the caller must still paint; (-1, -1, -1, -1): nothing.
void TileTexture(TCanvas* Canvas, TRect& Rect, TBitmap* Unused, uint8_t Mode, const TsMaskData& Mask);
// A texture with a mask half, tiled in modes 0 and 10 with the parent's background under its key pixels.
void TileMaskedTexture(TBitmap* Bmp, TRect& Rect, const TCacheInfo& ParentCache, uint8_t Mode, const TsMaskData& Mask);

// ---- Sections ----
// The background of section SkinIndex in State over R of Bmp: colour, texture,
// gradient and transparency over the parent in CI (Offset: R's origin relative
// to CI's). TextureIndex -1: the state's own; HotTextureIndex for states other
// than 0; CustomColor clFuchsia: the section's colour.
void PaintSectionBg(int SkinIndex, const TCacheInfo& CI, int State, const TRect& R, const TPoint& Offset, TBitmap* Bmp,
                    const TacSkinRecords* Skin, int TextureIndex, int HotTextureIndex, TColor CustomColor);
// A scroll-bar element: its section's background in a simpler layering (a
// texture's uncovered part alone takes the gradient and colour), then the
// mask MaskIndex with its corners over the parent. Nothing unless R lies in Bmp.
void PaintScrollElement(int SkinIndex, int TextureIndex, int MaskIndex, const TacSkinRecords* Skin, TBitmap* Bmp,
                        const TPoint& Offset, const TRect& R, int State, const TCacheInfo& CI);
class TsCommonData;
// PaintSectionBg for a skinned control: its own colour when it has a custom
// colour; the section's states and textures otherwise.
void PaintControlBg(const TsCommonData& CommonData, const TCacheInfo& CI, int State, TBitmap* Bmp, const TPoint& Offset,
                    const TRect& R);
// The whole look of a control into its bitmap: background, corner images,
// border mask (UpdateCorners: its transparent corners over the parent), then
// the control's colour tone, hue and saturation over the whole bitmap (key
// pixels spared). A transparent control without a border keeps its parent's
// pixels untransformed.
void PaintControlItem(const TsCommonData& CommonData, const TCacheInfo& CI, TBitmap* Bmp, const TPoint& Offset,
                      const TRect& R, int State, bool UpdateCorners);
// Background, corner images and border of an item without skin data of its own.
void PaintSkinItem(int SkinIndex, const TCacheInfo& CI, int TextureIndex, int HotTextureIndex, const TacSkinRecords* Skin,
                   TBitmap* Bmp, const TPoint& Offset, const TRect& R, int State);
// The record painters take, from a parent's answer: ready over its bitmap at
// Offset, or its plain colour with its border margins.
TCacheInfo CacheInfoFromBgInfo(const TacBackgroundInfo& Info);
// PaintSkinItem over the whole of Bmp in section SkinIndex, or AltSkinIndex
// when SkinIndex < 0 (the index used is returned; nothing and < 0 when both
// are). Under it lies SourceDC's content at R, or without a DC the colour Color.
int PaintSkinItemToDC(TBitmap* Bmp, int SkinIndex, int AltSkinIndex, HDC SourceDC, TColor Color, const TRect& R,
                      const TacSkinRecords* Skin, int State);
// PaintSkinItem through a temporary bitmap into R of a DC.
void PaintSectionToDC(int SkinIndex, const TCacheInfo& CI, const TacSkinRecords* Skin, HDC DC, const TPoint& Offset,
                      const TRect& R, int State);
// Section background and border into a 32-bit bitmap with a correct alpha
// channel (premultiplied when R covers the whole bitmap).
void PaintSectionToBitmap32(int SkinIndex, int State, const TacSkinRecords* Skin, TBitmap* Bmp, const TPoint& Offset,
                            const TRect& R);
// The four corner images of a section (-1: none) at R's corners in State.
void PaintCornerImages(const TacSkinRecords& Skin, const TsGeneralData& Section, TBitmap* Bmp, const TRect& R,
                       int State);

// ---- Text and frames ----
// Text in the section's state colours: side copies first (alpha mode), then the text.
void DrawSkinTextToBitmap(TBitmap* Bmp, const String& Text, bool AlphaMode, const TacSkinRecords* Skin, int State,
                          int SkinIndex, UINT DrawTextFlags, const TRect& R);
// Corner selectors: 13 top-left, 14 top-right, 16 bottom-left, 17 bottom-right.
void FillBorderCornerGaps(TBitmap* Dest, TBitmap* Template, const TRect& DestRect, int Corner,
                          const TacSkinRecords* Skin, int MaskIndex, const TPoint& TemplateOrigin);
