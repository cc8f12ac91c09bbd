#pragma once
// The handler of a status bar: the bar's section, each part's frame (or
// dividers between parts), the parts' texts, owner-drawn panels and the size
// grip, built in the record's cache on every erase and copied to the window
// at once. Parts come from the bar's window; texts, alignments, the font and
// owner drawing from the framework's status bar when it is one.

#include "skin/controls/acMainWnd.h"

class TStatusBar;

class TacStatusBarWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

  bool SimplePanel();
  int PartsCount();
  String PartText(int Index);
  TRect PartRect(int Index);
  void PrepareCache();

  TStatusBar* StatusBar = nullptr;  // the owner control when it is a framework status bar

 protected:
  void AfterCreation() override;
  void PaintPanels();
  void PaintGrip();
  void DrawPanel(int Index, TRect Rect);
  void InternalDrawPanel(int Index, const TRect& Rect);
  void DoDrawText(const String& Text, const TRect& Rect, UINT Flags);
  void WMPaint(HDC aDC);
  void WMNCPaint(HDC aDC);
  int BorderWidth();
};
