#pragma once
// The handlers of tool bars. The framework's tool bar is painted through its
// two custom-draw events: the bar's background from its section and each
// button from the skin's tool-button section by state (0 normal, 1 hot,
// 2 pressed), with a drop-down part and arrow for drop-down buttons. A foreign
// tool-bar window is painted whole by the handler, button by button, from
// what the window reports through the tool-bar messages: separators from the
// divider section, captions (of any length) and images.

#include "platform/vcl/ComCtrls.h"
#include "skin/controls/acMainWnd.h"

class TacToolBarVCLWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

  // The client area in window coordinates.
  TRect DisplayRect();
  TRect GetButtonRect(int Index);
  // The button under a client point, when it is a button, check or drop-down button; -1 otherwise.
  int IndexByMouse(const TPoint& MousePos);
  void PrepareCache();
  // Paints one button outside a paint cycle.
  void RepaintButton(int Index);

  TToolBar* ToolBar = nullptr;  // the owner control when it is a framework tool bar
  int HotButtonIndex = -1;
  TToolButton* DroppedButton = nullptr;  // the button whose drop-down is open

 protected:
  void AfterCreation() override;
  void RestoreStdParams() override;
  void OurAdvancedCustomDraw(TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage, bool& DefaultDraw);
  void OurAdvancedCustomDrawButton(TToolBar* Sender, TToolButton* Button, TCustomDrawState State,
                                   TCustomDrawStage Stage, TTBCustomDrawFlags& Flags, bool& DefaultDraw);
  void WMNCPaint(HDC aDC);

 private:
  // The bar's drawing events become the handler's; the application's come back when it lets go.
  void HookEvents();
  void UnhookEvents();
  void CopyBackground(HDC DC, const TRect& ARect);
  bool Hooked = false;
  TTBAdvancedCustomDrawEvent SavedDraw;
  TTBAdvancedCustomDrawBtnEvent SavedDrawButton;
};

class TacToolBarWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

  int Count();
  TRect GetButtonRect(int Index);
  void PrepareCache();
  // The caption of the button with command Id, asked for its length first; empty without one.
  String ButtonText(int Id);

  TRect ClientRect;  // the client area at the last cache build
  int BorderWidth = 0;

 protected:
  void AfterCreation() override;
  void AC_WMPrint(HDC DC);
  void AC_WMNCPaint();
  void DrawButtons(TBitmap* Bmp);
  void DrawBtn(int Index, const TRect& R, HDC DC);
};
