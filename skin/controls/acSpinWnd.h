#pragma once
// The handler of an up-down (spin) control: its two buttons painted from the
// skin's up-down sections with arrow glyphs, hot under the cursor and pressed
// while the left button is down on them. The control keeps its own behaviour.

#include "skin/controls/acMainWnd.h"

class TacSpinWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  // Vertical unless the style has UDS_HORZ.
  bool IsVertical() const;
  // The two buttons' rectangles in window coordinates (they overlap by a row or column when the size is odd).
  TRect ButtonRect(int Index) const;

  int lOffset = 0;
  int Btn1State = 0;  // first button (up or left): 0 normal, 1 hot, 2 pressed
  int Btn2State = 0;
  bool bMousePressed = false;

 protected:
  void AfterCreation() override;
  void PrepareCache();
  void AC_WMPaint(TMessage& Message);
};
