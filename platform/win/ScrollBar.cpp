// Scroll bars: the frame's own (WS_HSCROLL / WS_VSCROLL) and the "SCROLLBAR"
// control share one geometry, one look and one tracking of a pressed bar.

#include <algorithm>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

int MaxPos(const ScrollBarData& d) { return std::max(d.min, d.max - std::max(int(d.page) - 1, 0)); }

void ClampPos(ScrollBarData& d) {
  d.pos = std::clamp(d.pos, d.min, MaxPos(d));
  d.trackPos = std::clamp(d.trackPos, d.min, MaxPos(d));
}

// Repeats of a held arrow or page: a first pause, then a steady rate.
constexpr UINT_PTR kRepeatTimer = 0xFFFE;
constexpr UINT kFirstRepeatMs = 350;
constexpr UINT kRepeatMs = 50;

struct TrackState {
  bool active = false;
  ScrollTrackTarget target;
  ScrollPart part = ScrollPart::None;
  bool inside = true;  // the mouse is over the pressed part
  int grab = 0;        // the mouse's distance from the thumb's start along the bar
};
TrackState track;

class ScrollBarControl;

}  // namespace

// ---- Geometry and look ----

bool ScrollBarNeeded(const ScrollBarData& d) {
  return d.max > d.min && int64_t(d.page) <= int64_t(d.max) - d.min;
}

bool ApplyScrollInfo(ScrollBarData& d, const SCROLLINFO& si) {
  const ScrollBarData before = d;
  if (si.fMask & SIF_RANGE) {
    d.min = si.nMin;
    d.max = std::max(si.nMin, si.nMax);
  }
  if (si.fMask & SIF_PAGE) d.page = si.nPage;
  d.page = UINT(std::min<int64_t>(d.page, int64_t(d.max) - d.min + 1));
  if (si.fMask & SIF_POS) d.pos = si.nPos;
  ClampPos(d);
  return before.min != d.min || before.max != d.max || before.page != d.page;
}

void ReadScrollInfo(const ScrollBarData& d, SCROLLINFO* si) {
  if (si->fMask & SIF_RANGE) {
    si->nMin = d.min;
    si->nMax = d.max;
  }
  if (si->fMask & SIF_PAGE) si->nPage = d.page;
  if (si->fMask & SIF_POS) si->nPos = d.pos;
  if (si->fMask & SIF_TRACKPOS) si->nTrackPos = d.tracking ? d.trackPos : d.pos;
}

ScrollLayout LayoutScrollBar(const RECT& bar, bool vertical, const ScrollBarData& d, bool enabled) {
  ScrollLayout l;
  const int length = vertical ? bar.bottom - bar.top : bar.right - bar.left;
  const int thickness = vertical ? bar.right - bar.left : bar.bottom - bar.top;
  const int arrow = std::max(0, std::min(thickness, length / 2));
  auto span = [&](int from, int to) {
    return vertical ? RECT{bar.left, bar.top + from, bar.right, bar.top + to}
                    : RECT{bar.left + from, bar.top, bar.left + to, bar.bottom};
  };
  l.arrow1 = span(0, arrow);
  l.arrow2 = span(length - arrow, length);
  l.track = span(arrow, length - arrow);
  const int trackLen = length - 2 * arrow;
  if (!enabled || !ScrollBarNeeded(d) || d.disabled == ESB_DISABLE_BOTH) return l;
  const int64_t range = int64_t(d.max) - d.min + 1;
  const int minThumb = std::min(8, thickness);
  int thumbLen = d.page ? int(int64_t(trackLen) * d.page / range) : thickness;
  thumbLen = std::max(thumbLen, minThumb);
  if (thumbLen > trackLen || trackLen < minThumb) return l;
  const int64_t steps = int64_t(MaxPos(d)) - d.min;
  const int at = (d.tracking ? d.trackPos : d.pos) - d.min;
  const int offset = steps > 0 ? int(int64_t(trackLen - thumbLen) * at / steps) : 0;
  l.thumb = span(arrow + offset, arrow + offset + thumbLen);
  return l;
}

ScrollPart ScrollPartAt(const ScrollLayout& l, bool vertical, POINT p) {
  if (PtInRect(&l.arrow1, p)) return ScrollPart::LineUp;
  if (PtInRect(&l.arrow2, p)) return ScrollPart::LineDown;
  if (IsRectEmpty(&l.thumb) || !PtInRect(&l.track, p)) return ScrollPart::None;
  if (PtInRect(&l.thumb, p)) return ScrollPart::Thumb;
  const bool before = vertical ? p.y < l.thumb.top : p.x < l.thumb.left;
  return before ? ScrollPart::PageUp : ScrollPart::PageDown;
}

void PaintScrollBar(HDC dc, const RECT& bar, bool vertical, const ScrollBarData& d, bool enabled,
                    ScrollPart pressed) {
  if (IsRectEmpty(&bar)) return;
  const ScrollLayout l = LayoutScrollBar(bar, vertical, d, enabled);
  const bool live = enabled && ScrollBarNeeded(d);
  FillSys(dc, l.track, COLOR_SCROLLBAR);
  if (!IsRectEmpty(&l.thumb) && (pressed == ScrollPart::PageUp || pressed == ScrollPart::PageDown)) {
    RECT page = l.track;
    if (pressed == ScrollPart::PageUp) (vertical ? page.bottom : page.right) = vertical ? l.thumb.top : l.thumb.left;
    else (vertical ? page.top : page.left) = vertical ? l.thumb.bottom : l.thumb.right;
    FillSys(dc, page, COLOR_3DDKSHADOW);
  }
  DrawButtonFace(dc, l.arrow1, pressed == ScrollPart::LineUp);
  DrawButtonFace(dc, l.arrow2, pressed == ScrollPart::LineDown);
  DrawArrowGlyph(dc, l.arrow1, vertical ? ArrowDir::Up : ArrowDir::Left, live && !(d.disabled & ESB_DISABLE_LTUP));
  DrawArrowGlyph(dc, l.arrow2, vertical ? ArrowDir::Down : ArrowDir::Right, live && !(d.disabled & ESB_DISABLE_RTDN));
  if (!IsRectEmpty(&l.thumb)) DrawButtonFace(dc, l.thumb, false);
}

int ScrollTarget(HWND wnd, int bar, WORD code, int pos, int line, int page, int last) {
  switch (code) {
    case SB_LINEUP: return pos - line;
    case SB_LINEDOWN: return pos + line;
    case SB_PAGEUP: return pos - page;
    case SB_PAGEDOWN: return pos + page;
    case SB_TOP: return 0;
    case SB_BOTTOM: return last;
    case SB_THUMBTRACK: case SB_THUMBPOSITION: {
      SCROLLINFO si;
      si.fMask = SIF_TRACKPOS;
      return GetScrollInfo(wnd, bar, &si) ? si.nTrackPos : pos;
    }
  }
  return pos;
}

// ---- The frame's bars ----

RECT NcScrollBarRect(Window* w, int bar) {
  const DWORD bit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  if (!(w->style & bit)) return RECT{};
  const RECT& c = w->client;
  if (bar == SB_VERT) {
    const int cx = GetSystemMetrics(SM_CXVSCROLL);
    return (w->exStyle & WS_EX_LEFTSCROLLBAR) ? RECT{c.left - cx, c.top, c.left, c.bottom}
                                               : RECT{c.right, c.top, c.right + cx, c.bottom};
  }
  return RECT{c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
}

void AdjustClientForScrollBars(Window* w, RECT* r) {
  if (w->style & WS_VSCROLL) {
    const int cx = GetSystemMetrics(SM_CXVSCROLL);
    if (r->right - r->left >= cx) {
      if (w->exStyle & WS_EX_LEFTSCROLLBAR) r->left += cx;
      else r->right -= cx;
    }
  }
  if (w->style & WS_HSCROLL) {
    const int cy = GetSystemMetrics(SM_CYHSCROLL);
    if (r->bottom - r->top >= cy) r->bottom -= cy;
  }
}

namespace {

ScrollPart PressedPart(HWND owner, int bar) {
  return track.active && track.inside && track.target.owner == owner && track.target.bar == bar ? track.part
                                                                                               : ScrollPart::None;
}

bool BarEnabled(Window* w, const ScrollBarData& d) {
  return !(w->style & WS_DISABLED) && ScrollBarNeeded(d) && d.disabled != ESB_DISABLE_BOTH;
}

}  // namespace

void PaintNcScrollBars(Window* w, HDC dc) {
  for (int bar : {SB_VERT, SB_HORZ}) {
    RECT r = NcScrollBarRect(w, bar);
    if (!IsRectEmpty(&r))
      PaintScrollBar(dc, r, bar == SB_VERT, w->scroll[bar], BarEnabled(w, w->scroll[bar]), PressedPart(w->handle, bar));
  }
  RECT v = NcScrollBarRect(w, SB_VERT), h = NcScrollBarRect(w, SB_HORZ);
  if (!IsRectEmpty(&v) && !IsRectEmpty(&h)) {
    RECT corner{v.left, h.top, v.right, h.bottom};
    FillSys(dc, corner, COLOR_BTNFACE);
  }
}

bool StartNcScrollTracking(Window* w, LRESULT hit, POINT screen) {
  const int bar = hit == HTVSCROLL ? SB_VERT : SB_HORZ;
  BeginScrollTrack(ScrollTrackTarget{w->handle, bar, w->handle, bar == SB_VERT ? UINT(WM_VSCROLL) : UINT(WM_HSCROLL)},
                   screen);
  return track.active;
}

// ---- The "SCROLLBAR" control ----

namespace {

class ScrollBarControl : public Control {
 public:
  ScrollBarData data{0, 0, 0, 0, 0, 0, false};  // a control starts with an empty range

  bool Vertical() const { return Style() & SBS_VERT; }
  bool SizeBox() const { return Style() & (SBS_SIZEBOX | SBS_SIZEGRIP); }

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case SBM_SETSCROLLINFO: {
        auto* si = reinterpret_cast<const SCROLLINFO*>(lp);
        if (!si) return data.pos;
        ApplyScrollInfo(data, *si);
        if (wp) Redraw();
        return data.pos;
      }
      case SBM_GETSCROLLINFO: {
        auto* si = reinterpret_cast<SCROLLINFO*>(lp);
        if (!si) return FALSE;
        ReadScrollInfo(data, si);
        return TRUE;
      }
      case SBM_SETPOS: {
        const int old = data.pos;
        data.pos = int(wp);
        ClampPos(data);
        if (lp) Redraw();
        return old;
      }
      case SBM_GETPOS: return data.pos;
      case SBM_SETRANGE: case SBM_SETRANGEREDRAW: {
        const int old = data.pos;
        SCROLLINFO si;
        si.fMask = SIF_RANGE;
        si.nMin = int(wp);
        si.nMax = int(lp);
        ApplyScrollInfo(data, si);
        if (msg == SBM_SETRANGEREDRAW) Redraw();
        return old;
      }
      case SBM_GETRANGE:
        if (wp) *reinterpret_cast<int*>(wp) = data.min;
        if (lp) *reinterpret_cast<int*>(lp) = data.max;
        return 0;
      case SBM_ENABLE_ARROWS:
        data.disabled = UINT(wp) & ESB_DISABLE_BOTH;
        Redraw();
        return TRUE;
      case SBM_GETSCROLLBARINFO:
        return GetScrollBarInfo(hwnd, OBJID_CLIENT, reinterpret_cast<SCROLLBARINFO*>(lp));
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: {
        if (SizeBox()) return 0;
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ClientToScreen(hwnd, &p);
        BeginScrollTrack(ScrollTrackTarget{hwnd, SB_CTL, Parent(), Vertical() ? UINT(WM_VSCROLL) : UINT(WM_HSCROLL)}, p);
        return 0;
      }
      case WM_MOUSEMOVE: case WM_LBUTTONUP:
        if (ScrollTracking() && track.target.owner == hwnd) {
          POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
          ClientToScreen(hwnd, &p);
          TrackScrollMouse(p, msg == WM_LBUTTONUP);
        }
        return 0;
      case WM_KEYDOWN: {
        WORD code = 0xFFFF;
        switch (wp) {
          case VK_UP: case VK_LEFT: code = SB_LINEUP; break;
          case VK_DOWN: case VK_RIGHT: code = SB_LINEDOWN; break;
          case VK_PRIOR: code = SB_PAGEUP; break;
          case VK_NEXT: code = SB_PAGEDOWN; break;
          case VK_HOME: code = SB_TOP; break;
          case VK_END: code = SB_BOTTOM; break;
        }
        if (code != 0xFFFF && Parent()) {
          const UINT m = Vertical() ? WM_VSCROLL : WM_HSCROLL;
          SendMessageW(Parent(), m, MAKEWPARAM(code, 0), LPARAM(hwnd));
          SendMessageW(Parent(), m, MAKEWPARAM(SB_ENDSCROLL, 0), LPARAM(hwnd));
        }
        return 0;
      }
      case WM_GETDLGCODE: return DLGC_WANTARROWS;
      case WM_ERASEBKGND: return 1;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const RECT r = Client();
    if (SizeBox()) {
      FillSys(dc, r, COLOR_BTNFACE);
      // The grip: three diagonal ridges in the corner.
      for (int i = 0; i < 3; ++i) {
        const int d = 4 * i + 3;
        for (int k = 0; k < d; ++k) {
          RECT light{r.right - d + k, r.bottom - 1 - k, r.right - d + k + 1, r.bottom - k};
          FillSys(dc, light, COLOR_BTNSHADOW);
        }
      }
      return;
    }
    const bool enabled = Enabled() && ScrollBarNeeded(data) && data.disabled != ESB_DISABLE_BOTH;
    PaintScrollBar(dc, r, Vertical(), data, enabled, PressedPart(hwnd, SB_CTL));
  }
};

ScrollBarControl* ControlOf(HWND wnd) {
  Window* w = Get(wnd);
  return w ? dynamic_cast<ScrollBarControl*>(w->control.get()) : nullptr;
}

ScrollBarData* DataOf(const ScrollTrackTarget& t) {
  if (t.bar == SB_CTL) {
    ScrollBarControl* c = ControlOf(t.owner);
    return c ? &c->data : nullptr;
  }
  Window* w = Get(t.owner);
  return w ? &w->scroll[t.bar] : nullptr;
}

// The bar in screen coordinates.
RECT BarRect(const ScrollTrackTarget& t) {
  Window* w = Get(t.owner);
  if (!w) return RECT{};
  RECT r = t.bar == SB_CTL ? w->client : NcScrollBarRect(w, t.bar);
  POINT o = ScreenOrigin(w);
  OffsetRect(&r, o.x, o.y);
  return r;
}

bool Vertical(const ScrollTrackTarget& t) { return t.msg == WM_VSCROLL; }

void RedrawBar(const ScrollTrackTarget& t) {
  Window* w = Get(t.owner);
  if (!w || !Visible(w)) return;
  if (t.bar == SB_CTL) InvalidateRect(t.owner, nullptr, FALSE);
  else PaintFrame(w);
}

void SendCode(const ScrollTrackTarget& t, WORD code, int pos) {
  if (!IsWindow(t.notify)) return;
  SendMessageW(t.notify, t.msg, MAKEWPARAM(code, pos), t.bar == SB_CTL ? LPARAM(t.owner) : 0);
}

WORD CodeOf(ScrollPart p) {
  switch (p) {
    case ScrollPart::LineUp: return SB_LINEUP;
    case ScrollPart::PageUp: return SB_PAGEUP;
    case ScrollPart::PageDown: return SB_PAGEDOWN;
    case ScrollPart::LineDown: return SB_LINEDOWN;
    default: return SB_ENDSCROLL;
  }
}

ScrollPart PartUnder(POINT screen) {
  ScrollBarData* d = DataOf(track.target);
  Window* w = Get(track.target.owner);
  if (!d || !w) return ScrollPart::None;
  const bool enabled = track.target.bar == SB_CTL ? !(w->style & WS_DISABLED) : BarEnabled(w, *d);
  return ScrollPartAt(LayoutScrollBar(BarRect(track.target), Vertical(track.target), *d, enabled),
                      Vertical(track.target), screen);
}

void RepeatProc(HWND, UINT, UINT_PTR, DWORD) {
  if (!track.active || track.part == ScrollPart::Thumb) return;
  POINT cursor;
  GetCursorPos(&cursor);
  // A held page stops once the thumb has come under the mouse.
  track.inside = PartUnder(cursor) == track.part;
  if (track.inside) SendCode(track.target, CodeOf(track.part), 0);
  if (track.active && IsWindow(track.target.owner)) SetTimer(track.target.owner, kRepeatTimer, kRepeatMs, &RepeatProc);
}

void EndTrack() {
  const ScrollTrackTarget t = track.target;
  const ScrollPart part = track.part;
  track = TrackState{};
  if (IsWindow(t.owner)) KillTimer(t.owner, kRepeatTimer);
  if (ScrollBarData* d = DataOf(t); d && part == ScrollPart::Thumb) {
    const int pos = d->trackPos;
    SendCode(t, SB_THUMBPOSITION, pos);
    if ((d = DataOf(t))) d->tracking = false;
  }
  SendCode(t, SB_ENDSCROLL, 0);
  RedrawBar(t);
}

}  // namespace

LRESULT ScrollBarWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  return ControlProc<ScrollBarControl>(wnd, msg, wp, lp);
}

// ---- Tracking ----

bool ScrollTracking() { return track.active; }

void BeginScrollTrack(const ScrollTrackTarget& t, POINT screen) {
  if (track.active) EndTrack();
  ScrollBarData* d = DataOf(t);
  if (!d) return;
  track.target = t;
  const ScrollPart part = PartUnder(screen);
  if (part == ScrollPart::None) {
    track = TrackState{};
    return;
  }
  track.active = true;
  track.part = part;
  track.inside = true;
  if (part == ScrollPart::Thumb) {
    const RECT thumb = LayoutScrollBar(BarRect(t), Vertical(t), *d, true).thumb;
    track.grab = Vertical(t) ? screen.y - thumb.top : screen.x - thumb.left;
    d->trackPos = d->pos;
    d->tracking = true;
  } else {
    SendCode(t, CodeOf(part), 0);
    if (track.active && IsWindow(t.owner)) SetTimer(t.owner, kRepeatTimer, kFirstRepeatMs, &RepeatProc);
  }
  RedrawBar(t);
  // Released before the press was handled: the click ends at once.
  if (track.active && !(GetKeyState(VK_LBUTTON) & 0x8000)) EndTrack();
}

void TrackScrollMouse(POINT screen, bool buttonUp) {
  if (!track.active) return;
  if (!IsWindow(track.target.owner)) {
    track = TrackState{};
    return;
  }
  const ScrollTrackTarget t = track.target;
  if (track.part == ScrollPart::Thumb) {
    ScrollBarData* d = DataOf(t);
    const ScrollLayout l = LayoutScrollBar(BarRect(t), Vertical(t), *d, true);
    const bool v = Vertical(t);
    const int trackStart = v ? l.track.top : l.track.left;
    const int free = (v ? (l.track.bottom - l.track.top) - (l.thumb.bottom - l.thumb.top)
                        : (l.track.right - l.track.left) - (l.thumb.right - l.thumb.left));
    const int offset = std::clamp((v ? screen.y : screen.x) - trackStart - track.grab, 0, std::max(free, 0));
    const int64_t steps = int64_t(MaxPos(*d)) - d->min;
    const int pos = free > 0 ? d->min + int((offset * steps + free / 2) / free) : d->min;
    if (pos != d->trackPos) {
      d->trackPos = pos;
      SendCode(t, SB_THUMBTRACK, pos);
      RedrawBar(t);
    }
  } else {
    const bool inside = PartUnder(screen) == track.part;
    if (inside != track.inside) {
      track.inside = inside;
      RedrawBar(t);
    }
  }
  if (buttonUp && track.active) EndTrack();
}

}  // namespace win

using namespace win;

// ---- The scroll-bar functions ----

namespace {

bool FrameBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

void ShowFrameBar(Window* w, int bar, bool show) {
  const DWORD bit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  if (bool(w->style & bit) == show) return;
  if (show) w->style |= bit;
  else w->style &= ~bit;
  SetWindowPos(w->handle, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int SetScrollInfo(HWND wnd, int bar, const SCROLLINFO* info, BOOL redraw) {
  if (!info) return 0;
  if (bar == SB_CTL) return int(SendMessageW(wnd, SBM_SETSCROLLINFO, WPARAM(redraw), LPARAM(info)));
  Window* w = Get(wnd);
  if (!w || !FrameBar(bar)) return 0;
  ScrollBarData& d = w->scroll[bar];
  ApplyScrollInfo(d, *info);
  const int pos = d.pos;
  const DWORD bit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  // A range that needs no bar takes it away, unless it is only to be disabled.
  const bool show = ScrollBarNeeded(d) || ((info->fMask & SIF_DISABLENOSCROLL) && (w->style & bit));
  if (show != bool(w->style & bit)) {
    ShowFrameBar(w, bar, show);
  } else if (redraw && Visible(w)) {
    PaintFrame(w);
  }
  return pos;
}

BOOL GetScrollInfo(HWND wnd, int bar, SCROLLINFO* info) {
  if (!info) return FALSE;
  if (bar == SB_CTL) return BOOL(SendMessageW(wnd, SBM_GETSCROLLINFO, 0, LPARAM(info)));
  Window* w = Get(wnd);
  if (!w || !FrameBar(bar)) return FALSE;
  ReadScrollInfo(w->scroll[bar], info);
  return TRUE;
}

int SetScrollPos(HWND wnd, int bar, int pos, BOOL redraw) {
  const int old = GetScrollPos(wnd, bar);
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(wnd, bar, &si, redraw);
  return old;
}

int GetScrollPos(HWND wnd, int bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  return GetScrollInfo(wnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND wnd, int bar, int min, int max, BOOL redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = min;
  si.nMax = max;
  SetScrollInfo(wnd, bar, &si, redraw);
  return IsWindow(wnd);
}

BOOL GetScrollRange(HWND wnd, int bar, int* min, int* max) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  if (!GetScrollInfo(wnd, bar, &si)) return FALSE;
  if (min) *min = si.nMin;
  if (max) *max = si.nMax;
  return TRUE;
}

BOOL ShowScrollBar(HWND wnd, int bar, BOOL show) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  if (bar == SB_CTL) {
    ShowWindow(wnd, show ? SW_SHOW : SW_HIDE);
    return TRUE;
  }
  const DWORD bits = bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL) : bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  const DWORD style = show ? (w->style | bits) : (w->style & ~bits);
  if (style != w->style) {
    w->style = style;
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return TRUE;
}

BOOL EnableScrollBar(HWND wnd, UINT bar, UINT arrows) {
  if (bar == UINT(SB_CTL)) return BOOL(SendMessageW(wnd, SBM_ENABLE_ARROWS, arrows, 0));
  Window* w = Get(wnd);
  if (!w) return FALSE;
  for (int b : {SB_HORZ, SB_VERT})
    if (bar == UINT(SB_BOTH) || bar == UINT(b)) w->scroll[b].disabled = arrows & ESB_DISABLE_BOTH;
  if (Visible(w)) PaintFrame(w);
  return TRUE;
}

BOOL GetScrollBarInfo(HWND wnd, LONG object, SCROLLBARINFO* info) {
  Window* w = Get(wnd);
  if (!w || !info) return FALSE;
  const ScrollBarData* d = nullptr;
  RECT bar;
  bool vertical = false, enabled = false, present = true;
  if (object == OBJID_CLIENT) {
    ScrollBarControl* c = ControlOf(wnd);
    if (!c) return FALSE;
    d = &c->data;
    bar = w->client;
    vertical = c->Vertical();
    enabled = !(w->style & WS_DISABLED) && ScrollBarNeeded(*d) && d->disabled != ESB_DISABLE_BOTH;
  } else if (object == OBJID_VSCROLL || object == OBJID_HSCROLL) {
    const int b = object == OBJID_VSCROLL ? SB_VERT : SB_HORZ;
    d = &w->scroll[b];
    bar = NcScrollBarRect(w, b);
    vertical = b == SB_VERT;
    present = !IsRectEmpty(&bar);
    enabled = BarEnabled(w, *d);
  } else {
    return FALSE;
  }
  const ScrollLayout l = LayoutScrollBar(bar, vertical, *d, enabled);
  const POINT o = ScreenOrigin(w);
  info->rcScrollBar = bar;
  OffsetRect(&info->rcScrollBar, o.x, o.y);
  info->dxyLineButton = vertical ? l.arrow1.bottom - l.arrow1.top : l.arrow1.right - l.arrow1.left;
  info->xyThumbTop = IsRectEmpty(&l.thumb) ? 0 : vertical ? l.thumb.top - bar.top : l.thumb.left - bar.left;
  info->xyThumbBottom = IsRectEmpty(&l.thumb) ? 0 : vertical ? l.thumb.bottom - bar.top : l.thumb.right - bar.left;
  for (DWORD& s : info->rgstate) s = 0;
  if (!present) info->rgstate[0] = STATE_SYSTEM_INVISIBLE;
  else if (!enabled) info->rgstate[0] = STATE_SYSTEM_UNAVAILABLE;
  return TRUE;
}

BOOL InitializeFlatSB(HWND wnd) { return IsWindow(wnd); }
BOOL UninitializeFlatSB(HWND wnd) { return IsWindow(wnd); }
