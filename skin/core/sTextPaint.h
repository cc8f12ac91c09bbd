#pragma once
// Skinned text on canvases: a section state's colours with their one-pixel
// side copies, a soft glow halo under text in 32-bit bitmaps, and text
// measuring and shortening. Text is UTF-8 and always drawn with a
// transparent background.

#include "platform/vcl/Graphics.h"
#include "skin/core/sSkinRecords.h"

// At most this many characters go to one text drawing call.
inline constexpr int kTextCap = 5460;
void DrawTextCapped(HDC DC, const String& Text, const TRect& R, UINT Format);

// Text of section SkinIndex in State: with UseSkinColor its side copies and
// text colour; without (the disabled look) state 0's text colour mixed with
// its background colour. Without a skin or a valid index: the canvas's colour.
void DrawSkinTextEx(TCanvas* Canvas, const String& Text, bool UseSkinColor, const TacSkinRecords* Skin, int State,
                    int SkinIndex, UINT Format, const TRect& R);
inline void DrawSkinText(TCanvas* Canvas, const String& Text, bool UseSkinColor, const TacSkinRecords* Skin, int State,
                         int SkinIndex, UINT Format, const TRect& R) {
  DrawSkinTextEx(Canvas, Text, UseSkinColor, Skin, State, SkinIndex, Format, R);
}

class TsCommonData;
// A colour through a control's colour tone, hue offset and saturation.
TColor ControlTextColor(TColor Color, const TsCommonData& CommonData);
// Text of a skinned control in its section's state colours (a disabled one
// without side copies), with the state's glow under it in the control's
// cached image; a hot link button underlined. A control that is not skinned,
// or keeps its own font colour, draws in the canvas's colour (embossed when
// disabled). The DC's state is kept.
void DrawSkinControlTextEx(TCanvas* Canvas, const String& Text, bool Enabled, int State,
                           const TsCommonData& CommonData, UINT Format, const TRect& R);
inline void DrawSkinControlText(TCanvas* Canvas, const String& Text, bool Enabled, int State,
                                const TsCommonData& CommonData, UINT Format, const TRect& R) {
  DrawSkinControlTextEx(Canvas, Text, Enabled, State, CommonData, Format, R);
}

// The glow under text at R of a 32-bit bitmap (the text itself is not drawn).
// GlowMask (8-bit; 255 no glow, 0 full glow) is kept by the caller and rebuilt
// only when its size changes. Sides: bits 1 left, 2 up, 4 right, 8 down.
void DrawTextWithGlow(TBitmap* Bmp, const String& Text, const TRect& R, std::unique_ptr<TBitmap>& GlowMask,
                      TColor GlowColor, int GlowSize, int Sides, UINT Format);
// The glow's kernel of radius Radius: weights rounded to 0 or 1, cut where
// their tails add up to less than 1/510, normalised (one weight 1 for Radius <= 0).
std::vector<float> MakeBlurKernel(int Radius);
// Blurs an 8-bit bitmap with the glow's kernel of radius Radius.
void BlurBitmap8(TBitmap* Bmp, int Radius);

// Measures in the canvas's font; CanvasTextRect is the canvas's clipped text output at (X, Y).
inline TSize CanvasTextExtent(TCanvas* Canvas, const String& Text) { return Canvas->TextExtent(Text); }
inline int CanvasTextWidth(TCanvas* Canvas, const String& Text) { return Canvas->TextExtent(Text).cx; }
inline int CanvasTextHeight(TCanvas* Canvas, const String& Text) { return Canvas->TextExtent(Text).cy; }
inline void CanvasTextRect(TCanvas* Canvas, const TRect& R, int X, int Y, const String& Text) {
  Canvas->TextRect(R, X, Y, Text);
}
// The whole text on the canvas's DC.
void DrawTextOnCanvas(TCanvas* Canvas, const String& Text, UINT Format, const TRect& R);
// The extent of Text on DC, or without a DC in Font on a screen-compatible DC.
bool GetTextSize(HDC DC, const String& Text, TSize& Size, HFONT Font);

// Text cut at the end, with "...", so that it fits MaxWidth on the canvas; ""
// when even the ellipsis alone does not fit or MaxWidth < 1.
String EllipsizeText(TCanvas* Canvas, const String& Text, int MaxWidth);

// ---- Glyphs ----
// Frame of a strip of NumGlyphs glyph images at R's top-left of Target. Kind 0
// (or one glyph, or disabled): frame 0; Kind 1: the hot frame 1 when
// SkinGlyphOrder (a skin is active and keeps its own glyph order) and Source
// is not 4-bit; Kind 2: frame State + 2, past the strip as Kind 1; Kind 3:
// frame 2 of three or more. Pixels of the frame's bottom-left colour stay
// transparent; a disabled glyph with Blend > 0 is mixed in with Blend as the
// target's weight. Reflected: R rises by an eighth of its height and a
// fading mirror image follows below it.
void DrawGlyphFromStrip(TBitmap* Source, TBitmap* Target, const TRect& R, bool Reflected, uint8_t State, int Blend,
                        int Kind, bool Enabled, int NumGlyphs, bool SkinGlyphOrder = false);
// A bitmap into R of a canvas: 32-bit ones composited by their alpha (scaled
// to R when their size differs, mirrored below R when Reflected and of R's
// size), others drawn as they are.
void DrawBitmapToCanvas(TCanvas* Canvas, TBitmap* Bmp, const TRect& R, bool Reflected);

// ---- Symbol glyphs ----
// The face a font of that name really draws with is the one asked for (the
// symbol faces are often missing and map to the fallback face).
bool FontFaceAvailable(const String& Face);
enum TacSymbolGlyph { sgMinimize, sgMaximize, sgRestore, sgClose };
// A window-command glyph as line shapes centred in R, for when the symbol face is missing.
void DrawSymbolGlyphShape(HDC DC, const TRect& R, TacSymbolGlyph Glyph, TColor Color);
