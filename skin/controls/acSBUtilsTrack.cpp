// The skinned bars under the mouse: hit testing, hot parts, pressed arrows and
// page areas with their repeat, thumb dragging and the scroll messages.

#include <algorithm>

#include "skin/controls/acSBUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMessages.h"

namespace {

TacScrollTrackState& T() { return ScrollTrack; }

int Coord(const POINT& P, bool Vertical) { return Vertical ? P.y : P.x; }

TRect BarRectOf(TacScrollWnd* sw, int Index) {
  TRect r;
  GetScrollBarRect(sw, Index, sw->CtrlHandle, r);
  return r;
}

LRESULT ForwardMessage(TacScrollWnd* sw, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  sw->Forward(m);
  return m.Result;
}

void ReadState(TacScrollBar* Bar) {
  Bar->ScrollInfo = SCROLLINFO();
  Bar->ScrollInfo.fMask = SIF_ALL;
  GetScrollInfo(Bar->sw->CtrlHandle, Bar->nBarType, &Bar->ScrollInfo);
}

// The thumb's geometry at the press, from the bar's rectangle on screen.
void TakeThumb(TacScrollBar* Bar, const TRect& R) {
  ReadState(Bar);
  GetThumbMetrics(Bar, R, T().ThumbLength, T().ThumbStart);
  T().BarRect = R;
}

// The last position the window accepts: a full page must still fit.
int LastValidPos(const SCROLLINFO& si) { return si.nMax - std::max(int(si.nPage) - 1, 0); }

// Moves the dragged thumb to the cursor (screen coordinate along the bar) and tells the window.
void DragThumb(TacScrollWnd* sw, TacScrollBar* Bar, int At) {
  TacScrollTrackState& t = T();
  const bool v = Bar->Vertical();
  const int btn = ScrollBarMetric(Bar, false);
  const int trackStart = (v ? t.BarRect.Top : t.BarRect.Left) + btn;
  const int trackLen = (v ? t.BarRect.Height() : t.BarRect.Width()) - 2 * btn;
  const int room = trackLen - t.ThumbLength;
  const int pos = std::clamp(At - t.ThumbMouseOffset, trackStart, std::max(trackStart, trackStart + room));

  // The bar at once, the thumb pressed where the cursor holds it.
  RECT wr{};
  GetWindowRect(sw->CtrlHandle, &wr);
  const TRect local = MovedRect(t.BarRect, -wr.left, -wr.top);
  HDC dc = GetWindowDC(sw->CtrlHandle);
  const bool tracking = sw->fThumbTracking;
  sw->fThumbTracking = false;
  PaintScrollBar(Bar, sw->CtrlHandle, dc, local, sbpThumb, pos - (v ? t.BarRect.Top : t.BarRect.Left));
  sw->fThumbTracking = tracking;
  ReleaseDC(sw->CtrlHandle, dc);

  const SCROLLINFO& si = Bar->ScrollInfo;
  const int range = si.nMax - si.nMin;
  const int page = int(si.nPage);
  int p;
  if (range < 1)
    p = pos - trackStart;
  else if (!v)
    p = MulDivRound(pos - trackStart, range - page + 1, room);
  else if (pos - trackStart == room)
    p = range - page + 2;
  else
    p = MulDivRound(pos - trackStart, range - page + 2, room);
  // Both bars end at the last position a page still fits in, never one past it.
  p = std::clamp(p, 0, std::max(0, LastValidPos(si) - si.nMin));
  if (p != t.LastThumbPos) {
    Bar->ScrollInfo.nTrackPos = p + si.nMin;
    sw->DontRepaint = true;
    SendScrollMessage(sw->CtrlHandle, t.ScrollMsg, SB_THUMBTRACK, Bar->ScrollInfo.nTrackPos);
    sw->DontRepaint = false;
  }
  t.LastThumbPos = p;
}

void RepaintBars(TacScrollWnd* sw) { PaintScrollBars(sw, sw->CtrlHandle, -1, nullptr); }

// The pressed bar under the cursor (client point): the pressed part shows pressed while the cursor is on it.
void TrackPressed(TacScrollWnd* sw, POINT Client) {
  TacScrollTrackState& t = T();
  TacScrollBar* bar = sw->Bar(t.TrackedBar);
  if (!bar) return;
  ClientToScreen(sw->CtrlHandle, &Client);
  const int part = HitTestScrollBar(bar, sw->CtrlHandle, BarRectOf(sw, t.TrackedBar), Client.x, Client.y);
  if (t.PressedPart == sbpShiftPage) return;
  t.ActivePart = part == t.PressedPart ? part : sbpNone;
  RepaintBars(sw);
}

void StopTimers(HWND Wnd) {
  KillTimer(Wnd, kScrollDelayTimer);
  KillTimer(Wnd, kScrollRepeatTimer);
}

}  // namespace

bool ScrollBarEnabled(TacScrollBar* Bar) {
  if (!Bar || !Bar->sw) return false;
  SCROLLBARINFO info;
  const LONG id = Bar->nBarType == SB_HORZ ? OBJID_HSCROLL : Bar->nBarType == SB_VERT ? OBJID_VSCROLL : OBJID_CLIENT;
  if (!GetScrollBarInfo(Bar->sw->CtrlHandle, id, &info)) return false;
  return (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) == 0;
}

int HitTestScrollBar(TacScrollBar* Bar, HWND, const TRect& R, int X, int Y) {
  const bool v = Bar->Vertical();
  if (v ? (X < R.Left || X >= R.Right) : (Y < R.Top || Y >= R.Bottom)) return sbpNone;
  const int btn = ScrollBarMetric(Bar, false);
  const int w = v ? R.Height() : R.Width();
  const int e = 2 * btn < w ? btn : w / 2;
  const int a = v ? Y : X, s = v ? R.Top : R.Left, end = s + w;
  if (a >= s && a < s + e) return sbpArrow1;
  if (a >= end - e && a < end) return sbpArrow2;
  ReadState(Bar);
  int length = 0, start = 0;
  GetThumbMetrics(Bar, R, length, start);
  if (length >= w - 2 * btn) return sbpNone;
  int part = sbpNone;
  if (a >= start && a < start + length)
    part = sbpThumb;
  else if (a >= s + e && a < start)
    part = sbpPageBefore;
  else if (a >= start + length && a < end - e)
    part = sbpPageAfter;
  if ((part == sbpPageBefore || part == sbpPageAfter) && GetAsyncKeyState(VK_SHIFT) < 0) part = sbpShiftPage;
  return part;
}

void SendScrollMessage(HWND Wnd, UINT Msg, int Code, int Pos) {
  const LPARAM cmd = LPARAM((uint32_t(Msg) << 16) | uint32_t(Code & 0xFFFF));
  LPARAM full = 0;
  if (SendSkinMessage(Wnd, WM_SKINCOMMAND, SkinCommandWParam(SKC_BEGINREDRAW), cmd) != 1) {
    // The window reads its own scroll state: keep it in step with the thumb.
    if (Code == SB_THUMBTRACK) {
      SCROLLINFO si;
      si.fMask = SIF_POS;
      si.nPos = Pos;
      SetScrollInfo(Wnd, Msg == WM_HSCROLL ? SB_HORZ : SB_VERT, &si, FALSE);
    }
  } else {
    full = Pos;
  }
  SendSkinMessage(Wnd, Msg, WPARAM(uint32_t(Code & 0xFFFF) | (uint32_t(std::min(Pos, 0xFFFF)) << 16)), full);
  SendSkinMessage(Wnd, WM_SKINCOMMAND, SkinCommandWParam(SKC_ENDREDRAW), cmd);
}

LRESULT HandleScrollNCHitTest(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  TacScrollTrackState& t = T();
  if (t.InNCHitTest) return HTNOWHERE;
  t.InNCHitTest = true;
  struct Reset {
    ~Reset() { T().InNCHitTest = false; }
  } reset;
  TsCommonData* d = sw->SkinData;
  if (!d->FMouseAbove && SetActiveControlProc && (!d->FOwnerControl || IsMouseOverControl(d->FOwnerControl)))
    SetActiveControlProc(Wnd);
  const int x = GET_X_LPARAM(LParam), y = GET_Y_LPARAM(LParam);
  auto inside = [&](const TRect& r) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; };
  const TRect h = GetHScrollRect(sw, Wnd), v = GetVScrollRect(sw, Wnd);
  if (sw->sBarHorz->fScrollVisible && inside(h)) return ScrollBarEnabled(sw->sBarHorz.get()) ? HTHSCROLL : HTNOWHERE;
  if (sw->sBarVert->fScrollVisible && inside(v)) return ScrollBarEnabled(sw->sBarVert.get()) ? HTVSCROLL : HTNOWHERE;
  if (sw->sBarHorz->fScrollVisible && sw->sBarVert->fScrollVisible) {
    const TRect box(std::min(h.Right, v.Left), h.Top, std::max(h.Right, v.Right), h.Bottom);
    if (inside(box)) {
      // Only a box at the corner of its top-level parent sizes that parent.
      HWND parent = GetParent(Wnd);
      RECT pc{};
      if (parent) GetClientRect(parent, &pc);
      POINT br{pc.right, pc.bottom};
      if (parent) ClientToScreen(parent, &br);
      const int edge = sw->fLeftScrollbar ? v.Left - sw->cxLeftEdge : v.Right + sw->cxRightEdge;
      if (!parent || (!GetParent(parent) && !sw->fLeftScrollbar && edge == br.x && h.Bottom + sw->cyBottomEdge == br.y))
        return HTBOTTOMRIGHT;
    }
  }
  return ForwardMessage(sw, WM_NCHITTEST, WParam, LParam);
}

LRESULT HandleScrollNCMouseMove(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  TacScrollTrackState& t = T();
  t.TrackedWindow = Wnd;
  if (WParam == HTHSCROLL || WParam == HTVSCROLL) {
    const int index = WParam == HTHSCROLL ? SB_HORZ : SB_VERT;
    if (index != t.HotBar) {
      t.LastHotPart = t.HotPart = sbpNone;
      t.BarRect = BarRectOf(sw, index);
      t.HotBar = index;
      t.HoverTimer = SetTimer(Wnd, kScrollHoverTimer, kScrollHoverInterval, nullptr);
      RepaintBars(sw);
    }
  }
  return ForwardMessage(sw, WM_NCMOUSEMOVE, WParam, LParam);
}

LRESULT HandleScrollNCLButtonDown(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  TacScrollTrackState& t = T();
  t.TrackedWindow = Wnd;
  if (WParam != HTHSCROLL && WParam != HTVSCROLL) {
    t.PressedPart = sbpNone;
    return ForwardMessage(sw, WM_NCLBUTTONDOWN, WParam, LParam);
  }
  t.ScrollMsg = WParam == HTHSCROLL ? WM_HSCROLL : WM_VSCROLL;
  t.TrackedBar = WParam == HTHSCROLL ? SB_HORZ : SB_VERT;
  TacScrollBar* bar = sw->Bar(t.TrackedBar);
  const TRect r = BarRectOf(sw, t.TrackedBar);
  const POINT p{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)};
  t.PressedPart = HitTestScrollBar(bar, Wnd, r, p.x, p.y);
  if (t.PressedPart < sbpArrow1 || t.PressedPart > sbpThumb) return ForwardMessage(sw, WM_NCLBUTTONDOWN, WParam, LParam);
  const bool v = bar->Vertical();
  switch (t.PressedPart) {
    case sbpShiftPage:
      TakeThumb(bar, r);
      t.ThumbMouseOffset = t.ThumbLength / 2;
      DragThumb(sw, bar, Coord(p, v));
      return 0;
    case sbpThumb:
      if (!ScrollBarEnabled(bar)) return 0;
      TakeThumb(bar, r);
      sw->fThumbTracking = true;
      bar->ScrollInfo.nTrackPos = bar->ScrollInfo.nPos;
      t.ThumbMouseOffset = Coord(p, v) - t.ThumbStart;
      t.LastThumbPos = bar->ScrollInfo.nPos;
      break;
    default:
      if (ScrollBarEnabled(bar)) {
        t.ActivePart = t.PressedPart;
        RepaintBars(sw);
        SendScrollMessage(Wnd, t.ScrollMsg, t.PressedPart, 0);
        t.ActivePart = t.PressedPart;
        t.RepeatTimer = SetTimer(Wnd, kScrollDelayTimer, kScrollDelay, nullptr);
      }
  }
  SetCapture(Wnd);
  return 0;
}

LRESULT HandleScrollMouseMove(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  TacScrollTrackState& t = T();
  if (sw->fThumbTracking) {
    POINT p{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)};
    ClientToScreen(Wnd, &p);
    TacScrollBar* bar = sw->Bar(t.TrackedBar);
    if (bar) DragThumb(sw, bar, Coord(p, bar->Vertical()));
    return 0;
  }
  if (t.PressedPart == sbpNone || t.TrackedWindow != Wnd) return ForwardMessage(sw, WM_MOUSEMOVE, WParam, LParam);
  TrackPressed(sw, POINT{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)});
  return 0;
}

LRESULT HandleScrollLButtonUp(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  TacScrollTrackState& t = T();
  if (t.PressedPart == sbpNone || t.TrackedWindow != Wnd) return ForwardMessage(sw, WM_LBUTTONUP, WParam, LParam);
  if (GetCapture() == Wnd) ReleaseCapture();
  TacScrollBar* bar = sw->Bar(t.TrackedBar);
  if (t.PressedPart >= sbpArrow1 && t.PressedPart <= sbpPageAfter) {
    StopTimers(Wnd);
    sw->DontRepaint = true;
    SendScrollMessage(Wnd, t.ScrollMsg, SB_ENDSCROLL, 0);
    sw->DontRepaint = false;
  } else if (t.PressedPart == sbpThumb && bar) {
    // The position the window last saw (the scroll state's track position, minimum included).
    const int last = bar->ScrollInfo.nTrackPos;
    sw->DontRepaint = true;
    if (sw->fThumbTracking) {
      sw->fThumbTracking = false;
      SendScrollMessage(Wnd, t.ScrollMsg, SB_THUMBPOSITION, last);
    }
    SendScrollMessage(Wnd, t.ScrollMsg, SB_ENDSCROLL, last);
    sw->DontRepaint = false;
  }
  sw->fThumbTracking = false;
  t.PressedPart = t.ActivePart = t.TrackedBar = sbpNone;
  t.RepeatTimer = 0;
  t.ScrollMsg = 0;
  RepaintBars(sw);
  if (WParam != WPARAM(-1)) return ForwardMessage(sw, WM_LBUTTONUP, WParam, LParam);
  return 0;
}

LRESULT HandleScrollTimer(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  TacScrollTrackState& t = T();
  switch (WParam) {
    case kScrollHoverTimer: {
      if (sw->fThumbTracking) return 0;
      const TPoint c = SafeGetCursorPos();
      TacScrollBar* bar = sw->Bar(t.HotBar);
      if (bar && c.X >= t.BarRect.Left && c.X < t.BarRect.Right && c.Y >= t.BarRect.Top && c.Y < t.BarRect.Bottom) {
        t.HotPart = HitTestScrollBar(bar, Wnd, t.BarRect, c.X, c.Y);
        if (t.HotPart != t.LastHotPart) RepaintBars(sw);
        t.LastHotPart = t.HotPart;
      } else {
        KillTimer(Wnd, kScrollHoverTimer);
        t.HoverTimer = 0;
        t.HotBar = t.LastHotPart = t.HotPart = sbpNone;
        RepaintBars(sw);
      }
      return 0;
    }
    case kScrollDelayTimer:
      KillTimer(Wnd, kScrollDelayTimer);
      t.RepeatTimer = SetTimer(Wnd, kScrollRepeatTimer, kScrollRepeat, nullptr);
      return 0;
    case kScrollRepeatTimer: {
      if (t.PressedPart == sbpNone) {
        KillTimer(Wnd, kScrollRepeatTimer);
        return 0;
      }
      const TPoint c = SafeGetCursorPos();
      POINT p{c.X, c.Y};
      ScreenToClient(Wnd, &p);
      TrackPressed(sw, POINT{std::max<LONG>(p.x, 0), std::max<LONG>(p.y, 0)});
      if (t.ActivePart != sbpNone) {
        sw->DontRepaint = true;
        SendScrollMessage(Wnd, t.ScrollMsg, t.ActivePart, 0);
        sw->DontRepaint = false;
      }
      return 0;
    }
  }
  return ForwardMessage(sw, WM_TIMER, WParam, LParam);
}
