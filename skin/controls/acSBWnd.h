#pragma once
// The handler of a stand-alone scroll-bar control: the control keeps its
// scrolling and its mouse tracking; the handler paints the track halves, the
// arrow buttons and the thumb from the skin, keeps its own copy of the scroll
// state to know where to draw, shows hot and pressed parts, and holds the
// control's own drawing back while the scroll state changes.

#include "platform/vcl/RangeControls.h"
#include "skin/controls/acMainWnd.h"
#include "platform/win/Controls.h"

class TacSBWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

  // Part indexes of SetPartState.
  enum : int { ptBtn1, ptBtn2, ptBar1, ptBar2, ptSlider };
  void SetPartState(int Index, int Value);
  int PartState(int Index) const;

  bool Vertical() const;
  int SysBtnSize() const;
  int WorkSize() const;
  int SliderSize() const;
  int PositionToCoord() const;
  int CoordToPosition(const TPoint& P) const;
  TRect Btn1Rect();
  TRect Btn2Rect();
  TRect Bar1Rect();
  TRect Bar2Rect();
  TRect SliderRect();
  bool BarIsHot() const;

  int FCurrPos = 0;
  int FBar1State = 0, FBar2State = 0, FBtn1State = 0, FBtn2State = 0, FSliderState = 0;
  SCROLLINFO FSI;
  TRect FBtn1Rect, FBtn2Rect, FBar1Rect, FBar2Rect, FSliderRect;
  TCacheInfo CI;
  TScrollBar* Control = nullptr;
  bool FRepainting = false;
  int FLockCount = 0;
  int MouseOffset = 0;
  int ScrollCode = 0;  // 0, 1 arrows, 2, 3 pages, 5 thumb, 4 after the thumb, 8 after a release
  bool StdTabStop = false;  // the control's own, back when the handler lets go

 protected:
  void AfterCreation() override;
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void InitScrollData();
  void UpdateBar();
  void LMouseDown(int X, int Y);
  void LMouseUp(int X, int Y);
  void WMNCHitTest(TMessage& Message);
  void WMPaint(TMessage& Message);
  void CMMouseEnter();
  void CMMouseLeave();
  void SetScrollInfoMsg(TMessage& Message);
  // The message reaches the control with its drawing held back, then the control is drawn once.
  void UnderRedrawLock(TMessage& Message);
  void Base(TMessage& Message) { TacMainWnd::acWndProc(Message); }

 private:
  int Length() const;
  TSize ClientSize() const;
};
