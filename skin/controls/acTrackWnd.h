#pragma once
// The handler of a track bar: the control's section, then the channel, the
// tick marks and the thumb from the skin's track-bar masks, built in the
// record's cache and copied to the window at once. Every geometry comes from
// the control itself, so the bar keeps its own behaviour.

#include <vector>

#include "skin/controls/acMainWnd.h"

class TacTrackWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

  bool IsVertical() const;
  // 0 bottom or right, 1 top or left, 2 both sides.
  int TickMarks() const;
  // 0 none, 1 automatic, 2 manual.
  int TickStyle() const;
  // The state the body and thumb show: 1 while the left button is down on the bar.
  int Mode() const { return bMousePressed ? 1 : 0; }
  int TickCount();
  int TickPos(int Index);
  // In the bar's own orientation (a vertical bar's channel is reported on its side).
  TRect ChannelRect();
  TRect ThumbRect();
  // One point per tick; only the coordinate along the bar is set.
  std::vector<TPoint> TicksArray();
  void PrepareCache();

  int TickHeight = 4;  // length of a tick drawn without a skin mask
  bool bMousePressed = false;
  double iStep = 0;  // distance between automatic ticks

 protected:
  void AfterCreation() override;
  void PaintBody();
  void PaintBar();
  void PaintThumb();
  void PaintTicks();
  void PaintTick(TPoint P, bool Horz);
  void AC_WMPaint(TMessage& Message);

 private:
  const TacTrackBarData* BarData() const;
};
