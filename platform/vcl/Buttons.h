#pragma once
// Buttons with glyphs: the windowless speed button (flat, grouped, with a
// disabled look made from its glyph) and the bitmap push button.

#include "platform/vcl/StdCtrls.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

// Draws a button's glyph and caption into Rect: the glyph strip's frame for
// State (up, disabled, clicked, down; a disabled look made from the up frame
// when the strip has none), the caption beside it as Layout, Margin (-1:
// centred) and Spacing say. Offset moves both (a pressed button).
void DrawButtonContent(TCanvas* Canvas, const TRect& Rect, TBitmap* Glyph, int NumGlyphs, TButtonState State,
                       const String& Caption, TButtonLayout Layout, int Margin, int Spacing, TFont* Font,
                       int Offset);

// The disabled look of a glyph: what is not the transparent colour, embossed
// in the highlight colour under the shadow colour.
void DrawDisabledGlyph(TCanvas* Canvas, int X, int Y, TBitmap* Glyph, const TRect& Source);

// The glyph and its arrangement with the caption, which speed buttons and bitmap buttons share.
class TButtonGlyph {
 public:
  virtual ~TButtonGlyph() = default;
  // A strip of NumGlyphs frames: up, disabled, clicked, down.
  TBitmap* Glyph() { return &FGlyph; }
  void SetGlyph(TBitmap* Value) { FGlyph.Assign(Value); }
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int Value);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout Value);
  // Pixels from the edge to the glyph (-1: centred).
  int Margin() const { return FMargin; }
  void SetMargin(int Value);
  int Spacing() const { return FSpacing; }
  void SetSpacing(int Value);

 protected:
  TButtonGlyph();
  virtual void GlyphChanged() = 0;
  void DrawContent(TCanvas* Canvas, const TRect& Rect, TButtonState State, const String& Caption, TFont* Font,
                   int Offset);

  TBitmap FGlyph;
  int FNumGlyphs = 1;
  TButtonLayout FLayout = blGlyphLeft;
  int FMargin = -1;
  int FSpacing = 4;
};

class TSpeedButton : public TGraphicControl, public TButtonGlyph {
 public:
  explicit TSpeedButton(TComponent* AOwner);
  // Flat buttons show their frame only under the pointer or when down.
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  // Buttons of one parent with the same GroupIndex (not 0) stay down one at a time.
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int Value);
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  // A grouped button that is down comes up when clicked again.
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // What the button shows now.
  TButtonState State() const { return FState; }
  bool MouseInControl() const { return FMouseInControl; }
  void Click() override;

 protected:
  void Paint() override;
  void WndProc(TMessage& Message) override;
  void SetText(const String& Value) override;
  void GlyphChanged() override { Invalidate(); }

 private:
  void UpdateExclusive();
  int FGroupIndex = 0;
  bool FDown = false;
  bool FAllowAllUp = false;
  bool FFlat = false;
  bool FTransparent = true;
  bool FMouseInControl = false;
  bool FDragging = false;
  TButtonState FState = bsUp;
};

// A push button with a glyph, drawn by the framework over the "BUTTON" class.
class TBitBtn : public TButton, public TButtonGlyph {
 public:
  explicit TBitBtn(TComponent* AOwner);
  // A standard kind sets the caption, the modal result and the default or cancel role.
  TBitBtnKind Kind() const { return FKind; }
  void SetKind(TBitBtnKind Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
  void GlyphChanged() override { Invalidate(); }

 private:
  void DrawItem(const DRAWITEMSTRUCT& Item);
  TBitBtnKind FKind = bkCustom;
};

void RegisterButtonsClasses();
