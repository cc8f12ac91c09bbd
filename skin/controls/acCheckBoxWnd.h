#pragma once
// The handlers of check boxes and radio buttons, and of group boxes.
// A check box paints the skin's "CHECKBOX" section, the skin's check or radio
// glyph for its check state (in the frame for normal, hot or pressed) and its
// caption into its cached image; the check state is read from the window at
// every paint. A group box paints the "GROUPBOX" frame below a caption strip
// that shows the parent's background.

#include "skin/controls/acMainWnd.h"

#include "platform/vcl/StdCtrls.h"  // TCheckBoxState

class TacCheckBoxWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  TCheckBoxState State();
  // The glyph frame: 0 normal, 1 hot, 2 pressed.
  int CtlState();
  // The skin's glyph image for a check state (-1: the skin has none).
  int GlyphMaskIndex(TCheckBoxState AState);
  TRect SkinCheckRect(int Index);
  // The glyph's room: the checked glyph's, or 16 x 16 without one.
  TRect CheckRect();
  void PrepareCache();

  bool OwnerDraw = false;

 protected:
  void AfterCreation() override;
  void AC_WMPaint(TMessage& Message);
  void DrawCheckText();
  void DrawSkinGlyph(int Index);
  void ChangeState(int State);
};

class TacGroupBoxWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  TRect CaptionRect();
  void PrepareCache();

 protected:
  void AfterCreation() override;
  void AC_WMPaint(HDC DC);
  void WriteText(const TRect& R);
};
