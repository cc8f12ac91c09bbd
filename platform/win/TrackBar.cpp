// "msctls_trackbar32": a thumb moved along a channel, with tick marks; the
// parent hears of every move through WM_HSCROLL / WM_VSCROLL and may draw parts
// itself through NM_CUSTOMDRAW.

#include <algorithm>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kThumbWidth = 11;  // across the channel's direction
constexpr int kChannelInset = 8;

class TrackBar : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void Paint(HDC dc) override;

 private:
  bool Vertical() const { return Style() & TBS_VERT; }
  int Length() const {  // along the bar
    const RECT c = Client();
    return Vertical() ? c.bottom : c.right;
  }
  int Breadth() const {
    const RECT c = Client();
    return Vertical() ? c.right : c.bottom;
  }
  int ThumbLength() const {
    if (Style() & TBS_FIXEDLENGTH) return thumbLength_;
    return std::clamp(Breadth() - 8, 4, 21);
  }
  // Pixels along the bar for a position.
  int Offset(int pos) const {
    const int span = Length() - 2 * kChannelInset;
    return kChannelInset + (max_ > min_ ? int(int64_t(pos - min_) * span / (max_ - min_)) : 0);
  }
  int PosAt(int offset) const {
    const int span = std::max(1, Length() - 2 * kChannelInset);
    const int64_t p = min_ + (int64_t(offset - kChannelInset) * (max_ - min_) + span / 2) / span;
    return std::clamp(int(p), min_, max_);
  }
  RECT Across(int along0, int along1, int across0, int across1) const {
    return Vertical() ? RECT{across0, along0, across1, along1} : RECT{along0, across0, along1, across1};
  }
  RECT ThumbRect() const {
    const int at = Offset(pos_);
    const int len = ThumbLength();
    const DWORD s = Style();
    const int start = (s & TBS_BOTH) ? (Breadth() - len) / 2 : (s & TBS_TOP) ? Breadth() - len - 2 : 2;
    return Across(at - kThumbWidth / 2, at + kThumbWidth / 2 + 1, start, start + len);
  }
  RECT ChannelRect() const {
    const RECT t = ThumbRect();
    const int mid = Vertical() ? (t.left + t.right) / 2 : (t.top + t.bottom) / 2;
    return Across(kChannelInset - 2, Length() - kChannelInset + 2, mid - 2, mid + 2);
  }
  std::vector<int> Tics() const;  // interior tick positions
  void SetPos(int pos, bool redraw) {
    pos = std::clamp(pos, min_, max_);
    if (pos == pos_) return;
    pos_ = pos;
    if (redraw) Redraw();
  }
  void Scroll(WORD code, int pos) {
    if (HWND p = Parent()) SendMessageW(p, Vertical() ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos), LPARAM(hwnd));
  }
  // The thumb follows the pointer at lp while it is dragged.
  void Track(LPARAM lp) {
    const int along = Vertical() ? GET_Y_LPARAM(lp) : GET_X_LPARAM(lp);
    const int to = PosAt(along - grab_);
    if (to == pos_) return;
    SetPos(to, true);
    Scroll(TB_THUMBTRACK, pos_);
  }
  void Move(WORD code, int to) {
    SetPos(to, true);
    Scroll(code, 0);
  }

  int min_ = 0, max_ = 100, pos_ = 0;
  int line_ = 1, page_ = 20;
  int freq_ = 1;
  std::vector<int> tics_;  // set by TBM_SETTIC
  int selStart_ = 0, selEnd_ = 0;
  int thumbLength_ = 21;
  bool dragging_ = false;
  int grab_ = 0;
  bool focused_ = false;
};

std::vector<int> TrackBar::Tics() const {
  if (Style() & TBS_NOTICKS) return {};
  std::vector<int> out = tics_;
  if ((Style() & TBS_AUTOTICKS) && freq_ > 0)
    for (int p = min_ + freq_; p < max_; p += freq_) out.push_back(p);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

LRESULT TrackBar::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case TBM_GETPOS: return pos_;
    case TBM_GETRANGEMIN: return min_;
    case TBM_GETRANGEMAX: return max_;
    case TBM_SETPOS: SetPos(int(lp), wp != 0); return 0;
    case TBM_SETPOSNOTIFY:
      SetPos(int(lp), true);
      Scroll(TB_THUMBPOSITION, pos_);
      return 0;
    case TBM_SETRANGE: case TBM_SETRANGEMIN: case TBM_SETRANGEMAX:
      if (msg == TBM_SETRANGE) {
        min_ = int16_t(LOWORD(lp));
        max_ = int16_t(HIWORD(lp));
      } else if (msg == TBM_SETRANGEMIN) {
        min_ = int(lp);
      } else {
        max_ = int(lp);
      }
      if (max_ < min_) max_ = min_;
      page_ = std::max(1, (max_ - min_) / 5);
      pos_ = std::clamp(pos_, min_, max_);
      if (wp) Redraw();
      return 0;
    case TBM_SETTIC:
      if (int(lp) <= min_ || int(lp) >= max_) return FALSE;
      tics_.push_back(int(lp));
      Redraw();
      return TRUE;
    case TBM_GETTIC: {
      const auto t = Tics();
      return int(wp) < int(t.size()) ? t[size_t(wp)] : -1;
    }
    case TBM_CLEARTICS:
      tics_.clear();
      if (wp) Redraw();
      return 0;
    case TBM_SETTICFREQ:
      freq_ = int(wp);
      Redraw();
      return 0;
    case TBM_GETNUMTICS:
      return (Style() & TBS_NOTICKS) ? 0 : LRESULT(Tics().size()) + 2;
    case TBM_GETTICPOS: {
      const auto t = Tics();
      return int(wp) < int(t.size()) ? Offset(t[size_t(wp)]) : -1;
    }
    case TBM_SETSEL:
      selStart_ = int16_t(LOWORD(lp));
      selEnd_ = int16_t(HIWORD(lp));
      if (wp) Redraw();
      return 0;
    case TBM_SETSELSTART: selStart_ = int(lp); if (wp) Redraw(); return 0;
    case TBM_SETSELEND: selEnd_ = int(lp); if (wp) Redraw(); return 0;
    case TBM_GETSELSTART: return selStart_;
    case TBM_GETSELEND: return selEnd_;
    case TBM_CLEARSEL: selStart_ = selEnd_ = 0; if (wp) Redraw(); return 0;
    case TBM_SETPAGESIZE: { const int old = page_; page_ = int(lp); return old; }
    case TBM_GETPAGESIZE: return page_;
    case TBM_SETLINESIZE: { const int old = line_; line_ = int(lp); return old; }
    case TBM_GETLINESIZE: return line_;
    case TBM_GETTHUMBRECT: if (lp) *reinterpret_cast<RECT*>(lp) = ThumbRect(); return 0;
    case TBM_GETCHANNELRECT: {
      // Always along the horizontal, even for vertical bars: callers swap the axes themselves.
      RECT r = ChannelRect();
      if (Vertical()) r = RECT{r.top, r.left, r.bottom, r.right};
      if (lp) *reinterpret_cast<RECT*>(lp) = r;
      return 0;
    }
    case TBM_SETTHUMBLENGTH: thumbLength_ = int(wp); Redraw(); return 0;
    case TBM_GETTHUMBLENGTH: return ThumbLength();
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS: focused_ = true; Redraw(); return 0;
    case WM_KILLFOCUS: focused_ = false; Redraw(); return 0;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: {
      SetFocus(hwnd);
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const RECT t = ThumbRect();
      const int along = Vertical() ? p.y : p.x;
      SetCapture(hwnd);
      if (PtInRect(&t, p)) {
        dragging_ = true;
        grab_ = along - Offset(pos_);
        return 0;
      }
      // A press beside the thumb pages towards the press.
      if (along < Offset(pos_)) Move(TB_PAGEUP, pos_ - page_);
      else Move(TB_PAGEDOWN, pos_ + page_);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_) Track(lp);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() != hwnd) return 0;
      if (dragging_) {
        // The release may come without a move to where it happened.
        Track(lp);
        Scroll(TB_THUMBPOSITION, pos_);
      }
      ReleaseCapture();
      Scroll(TB_ENDTRACK, 0);
      return 0;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      return 0;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_LEFT: case VK_UP: Move(TB_LINEUP, pos_ - line_); break;
        case VK_RIGHT: case VK_DOWN: Move(TB_LINEDOWN, pos_ + line_); break;
        case VK_PRIOR: Move(TB_PAGEUP, pos_ - page_); break;
        case VK_NEXT: Move(TB_PAGEDOWN, pos_ + page_); break;
        case VK_HOME: Move(TB_TOP, min_); break;
        case VK_END: Move(TB_BOTTOM, max_); break;
      }
      return 0;
    case WM_KEYUP:
      if (wp == WPARAM(VK_LEFT) || wp == WPARAM(VK_RIGHT) || wp == WPARAM(VK_UP) || wp == WPARAM(VK_DOWN) ||
          wp == WPARAM(VK_PRIOR) || wp == WPARAM(VK_NEXT) || wp == WPARAM(VK_HOME) || wp == WPARAM(VK_END))
        Scroll(TB_ENDTRACK, 0);
      return 0;
    case WM_ERASEBKGND: return 1;
  }
  return Control::Handle(msg, wp, lp);
}

void TrackBar::Paint(HDC dc) {
  const RECT c = Client();
  const LRESULT pre = CustomDraw(CDDS_PREPAINT, dc, c);
  if (pre & CDRF_SKIPDEFAULT) return;
  const bool items = pre & CDRF_NOTIFYITEMDRAW;
  auto part = [&](ULONG_PTR item, const RECT& r, auto draw) {
    const LRESULT a = items ? CustomDraw(CDDS_ITEMPREPAINT, dc, r, item, focused_ ? CDIS_FOCUS : 0) : CDRF_DODEFAULT;
    if (!(a & CDRF_SKIPDEFAULT)) draw();
    if (items && (a & CDRF_NOTIFYPOSTPAINT)) CustomDraw(CDDS_ITEMPOSTPAINT, dc, r, item);
  };
  FillRect(dc, &c, ParentBrush(dc, WM_CTLCOLORSTATIC));
  const RECT channel = ChannelRect();
  const RECT thumb = ThumbRect();
  part(TBCD_TICS, c, [&] {
    for (int p : Tics()) {
      const int at = Offset(p);
      RECT tick = Vertical() ? RECT{thumb.right + 2, at, thumb.right + 5, at + 1}
                             : RECT{at, thumb.bottom + 2, at + 1, thumb.bottom + 5};
      FillSys(dc, tick, COLOR_BTNTEXT);
    }
  });
  part(TBCD_CHANNEL, channel, [&] {
    FillSys(dc, channel, COLOR_WINDOW);
    DrawEdge3d(dc, channel, false);
    if ((Style() & TBS_ENABLESELRANGE) && selEnd_ > selStart_) {
      RECT sel = Vertical() ? RECT{channel.left + 1, Offset(selStart_), channel.right - 1, Offset(selEnd_)}
                            : RECT{Offset(selStart_), channel.top + 1, Offset(selEnd_), channel.bottom - 1};
      FillSys(dc, sel, COLOR_HIGHLIGHT);
    }
  });
  if (!(Style() & TBS_NOTHUMB)) part(TBCD_THUMB, thumb, [&] { DrawButtonFace(dc, thumb, dragging_); });
  if (focused_) DrawFocusRectangle(dc, c);
  if (pre & CDRF_NOTIFYPOSTPAINT) CustomDraw(CDDS_POSTPAINT, dc, c);
}

}  // namespace

LRESULT TrackBarWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<TrackBar>(wnd, msg, wp, lp); }

}  // namespace win
