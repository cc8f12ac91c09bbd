#pragma once
// The handlers of push buttons: the whole button (the skin's "BUTTON" section
// over the parent's background, the caption, the focus rectangle and, by
// kind, a glyph, an image-list image or a drop-down arrow) is built in the
// record's cached image and copied to the window at once, so nothing flickers.
//
// States: 0 normal, 1 hot (focused or under the mouse), 2 pressed, 3 the
// default button of a dialog (a section with fewer states paints it hot).

#include "skin/controls/acMainWnd.h"

// The skin manager's button options (set by the manager that is the default).
struct TacButtonsOptions {
  bool ShowFocusRect = true;
  bool ShiftContentOnClick = true;  // a pressed skinned button moves its caption and glyph by (1, 1)
  bool DiscoloredGlyphs = false;    // glyphs of normal buttons toward the section's colour
  bool Animated = true;             // state changes fade
};
inline TacButtonsOptions ButtonsOptions;
// The window the default manager shows hot (its active control); nullptr without a manager.
inline std::function<HWND()> ActiveControlProc;
HWND ManagerActiveControl();

// A disabled control's cached image with the parent's background (Bg) showing through.
void FadeDisabledCache(TacMainWnd* Handler, const TCacheInfo& Bg);

class TacBtnWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

  // The state the button shows now.
  virtual int CurrentState();
  virtual void DrawGlyph() {}
  virtual TSize GlyphSize() { return TSize(0, 0); }
  // The caption's rectangle in the cache.
  virtual TRect CaptionRect();
  virtual int MaxCaptionWidth();
  // Builds the whole button in the cache.
  virtual void PrepareCache();

  bool Down();
  LONG_PTR CtrlStyle() const;
  void Repaint();
  TSize TextRectSize();
  void DrawCaption();
  void DoDrawText(const TRect& R, UINT Flags);
  // The section's state image that paints a button state.
  int SectionState(int State) const;

  bool FMouseClicked = false;

 protected:
  void AfterCreation() override;
  void ac_WMPaint(TMessage& Message);
  // Rectangles move by (1, 1) while pressed: always unskinned, by the option when skinned.
  bool ShiftOnPress() const;
  TRect PressShift(TRect R, bool Pressed) const;
  // The hover look comes or goes (faded when allowed).
  void ChangeState(int State, bool WithGlow);
};

// A framework bitmap button (its glyph strip beside the caption) or a button window showing a bitmap.
class TacBitBtnWnd : public TacBtnWnd {
 public:
  int CurrentState() override;
  void DrawGlyph() override;
  TSize GlyphSize() override;
  TRect CaptionRect() override;
  int MaxCaptionWidth() override;
  TRect GlyphRect();
};

class TButton;
// A framework button with an image list.
class TacButtonWnd : public TacBtnWnd {
 public:
  void DrawGlyph() override;
  TSize GlyphSize() override;
  TRect CaptionRect() override;
  bool HaveImage();
  int GlyphIndex();
  TRect GlyphRect();

  TButton* Btn = nullptr;

 protected:
  void AfterCreation() override;
};

// A split button: the drop-down arrow at its right.
class TacSplitBtnWnd : public TacBtnWnd {
 public:
  TRect CaptionRect() override;
  void PrepareCache() override;
  TRect ArrowRect();

  int ArrowWidth = 8;
};
