// "msctls_progress32" and "msctls_updown32": a filled bar, and a pair of arrow
// buttons that step a number (shown in a buddy window when asked).

#include <algorithm>

#include "platform/rtl/SysUtils.h"
#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

class Progress : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case PBM_SETRANGE: case PBM_SETRANGE32: {
        const LRESULT old = MAKELRESULT(min_, max_);
        min_ = msg == PBM_SETRANGE ? LOWORD(lp) : int(wp);
        max_ = msg == PBM_SETRANGE ? HIWORD(lp) : int(lp);
        pos_ = std::clamp(pos_, std::min(min_, max_), std::max(min_, max_));
        Redraw();
        return old;
      }
      case PBM_GETRANGE: {
        if (auto* r = reinterpret_cast<PBRANGE*>(lp)) *r = PBRANGE{min_, max_};
        return wp ? min_ : max_;
      }
      case PBM_SETPOS: return Set(int(wp));
      case PBM_DELTAPOS: return Set(pos_ + int(wp));
      case PBM_GETPOS: return pos_;
      case PBM_SETSTEP: { const int old = step_; step_ = int(wp); return old; }
      case PBM_GETSTEP: return step_;
      case PBM_STEPIT: {
        // Stepping past the end wraps round to the beginning.
        int next = pos_ + step_;
        if (next > max_) next = min_ + (next - max_);
        return Set(next);
      }
      case PBM_SETBARCOLOR: { const COLORREF old = bar_; bar_ = COLORREF(lp); Redraw(); return old; }
      case PBM_GETBARCOLOR: return bar_;
      case PBM_SETBKCOLOR: { const COLORREF old = bk_; bk_ = COLORREF(lp); Redraw(); return old; }
      case PBM_GETBKCOLOR: return bk_;
      case PBM_SETSTATE: { const LRESULT old = state_; state_ = wp; Redraw(); return old; }
      case PBM_GETSTATE: return LRESULT(state_);
      case PBM_SETMARQUEE: return TRUE;
      case WM_ERASEBKGND: return 1;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const RECT c = Client();
    FillColorOr(dc, c, bk_, COLOR_BTNFACE);
    DrawEdge3d(dc, c, false, true);
    RECT in = c;
    InflateRect(&in, -1, -1);
    const int span = max_ - min_;
    if (span <= 0) return;
    RECT done = in;
    if (Style() & PBS_VERTICAL) done.top = in.bottom - int(int64_t(in.bottom - in.top) * (pos_ - min_) / span);
    else done.right = in.left + int(int64_t(in.right - in.left) * (pos_ - min_) / span);
    const COLORREF color = state_ == PBST_ERROR ? RGB(200, 0, 0) : state_ == PBST_PAUSED ? RGB(200, 200, 0)
                           : bar_ == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : bar_;
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc, &done, b);
    DeleteObject(b);
  }

 private:
  int Set(int pos) {
    const int old = pos_;
    pos_ = std::clamp(pos, std::min(min_, max_), std::max(min_, max_));
    if (pos_ != old) Redraw();
    return old;
  }

  int min_ = 0, max_ = 100, pos_ = 0, step_ = 10;
  COLORREF bar_ = CLR_DEFAULT, bk_ = CLR_DEFAULT;
  WPARAM state_ = PBST_NORMAL;
};

class UpDown : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_CREATE:
        if (Style() & UDS_AUTOBUDDY) SetBuddy(GetWindow(hwnd, GW_HWNDPREV));
        return 0;
      case UDM_SETRANGE:
        upper_ = int16_t(LOWORD(lp));
        lower_ = int16_t(HIWORD(lp));
        return 0;
      case UDM_GETRANGE: return MAKELRESULT(upper_, lower_);
      case UDM_SETRANGE32:
        lower_ = int(wp);
        upper_ = int(lp);
        return 0;
      case UDM_GETRANGE32:
        if (wp) *reinterpret_cast<int*>(wp) = lower_;
        if (lp) *reinterpret_cast<int*>(lp) = upper_;
        return 0;
      case UDM_SETPOS: case UDM_SETPOS32: {
        const int old = pos_;
        pos_ = Clamp(msg == UDM_SETPOS ? int(int16_t(LOWORD(lp))) : int(lp));
        ShowInBuddy();
        return old;
      }
      case UDM_GETPOS: case UDM_GETPOS32: {
        const bool bad = !ReadBuddy();
        if (msg == UDM_GETPOS32) {
          if (lp) *reinterpret_cast<BOOL*>(lp) = bad;
          return pos_;
        }
        return MAKELRESULT(pos_, bad ? 1 : 0);
      }
      case UDM_SETBUDDY: {
        HWND old = buddy_;
        SetBuddy(reinterpret_cast<HWND>(wp));
        return LRESULT(old);
      }
      case UDM_GETBUDDY: return LRESULT(buddy_);
      case UDM_SETBASE: { const int old = base_; if (wp == 10 || wp == 16) base_ = int(wp); return old; }
      case UDM_GETBASE: return base_;
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: {
        const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        const RECT first = Half(true);
        pressed_ = PtInRect(&first, p) ? 1 : 2;
        SetCapture(hwnd);
        Redraw();
        Step(pressed_ == 1 ? 1 : -1);
        return 0;
      }
      case WM_LBUTTONUP:
        if (GetCapture() == hwnd) ReleaseCapture();
        return 0;
      case WM_CAPTURECHANGED:
        if (pressed_) {
          pressed_ = 0;
          Redraw();
          if (HWND p = Parent())
            SendMessageW(p, (Style() & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, pos_), LPARAM(hwnd));
        }
        return 0;
      case WM_KEYDOWN:
        if (wp == WPARAM(VK_UP) || wp == WPARAM(VK_RIGHT)) Step(1);
        else if (wp == WPARAM(VK_DOWN) || wp == WPARAM(VK_LEFT)) Step(-1);
        return 0;
      case WM_ERASEBKGND: return 1;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const bool horz = Style() & UDS_HORZ;
    const RECT a = Half(true), b = Half(false);
    DrawButtonFace(dc, a, pressed_ == 1);
    DrawButtonFace(dc, b, pressed_ == 2);
    // The first half is "up" (right for a horizontal control), the second "down" (left).
    DrawArrowGlyph(dc, a, horz ? ArrowDir::Right : ArrowDir::Up, Enabled());
    DrawArrowGlyph(dc, b, horz ? ArrowDir::Left : ArrowDir::Down, Enabled());
  }

 private:
  RECT Half(bool up) const {
    const RECT c = Client();
    if (Style() & UDS_HORZ) {
      const int mid = c.right / 2;
      return up ? RECT{mid, 0, c.right, c.bottom} : RECT{0, 0, mid, c.bottom};
    }
    const int mid = c.bottom / 2;
    return up ? RECT{0, 0, c.right, mid} : RECT{0, mid, c.right, c.bottom};
  }
  int Clamp(int v) const { return std::clamp(v, std::min(lower_, upper_), std::max(lower_, upper_)); }

  // "Up" moves towards the upper end of the range, whichever way round the range is.
  void Step(int direction) {
    ReadBuddy();
    const int delta = direction * (upper_ >= lower_ ? 1 : -1);
    NMUPDOWN nm;
    nm.iPos = pos_;
    nm.iDelta = delta;
    if (Notify(UDN_DELTAPOS, &nm.hdr)) return;  // the parent refused the change
    if (!IsWindow(hwnd)) return;
    int next = pos_ + nm.iDelta;
    const int lo = std::min(lower_, upper_), hi = std::max(lower_, upper_);
    if ((Style() & UDS_WRAP) && (next < lo || next > hi)) next = next < lo ? hi : lo;
    next = Clamp(next);
    if (next == pos_) return;
    pos_ = next;
    ShowInBuddy();
    if (HWND p = Parent())
      SendMessageW(p, (Style() & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos_), LPARAM(hwnd));
  }

  void SetBuddy(HWND buddy) {
    buddy_ = IsWindow(buddy) ? buddy : nullptr;
    if (!buddy_ || !(Style() & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) return;
    // Sits at the buddy's side, taking the room from it.
    RECT b, me;
    GetWindowRect(buddy_, &b);
    GetWindowRect(hwnd, &me);
    POINT tl{b.left, b.top};
    ScreenToClient(GetParent(buddy_), &tl);
    const int w = me.right - me.left, bw = b.right - b.left, bh = b.bottom - b.top;
    MoveWindow(buddy_, (Style() & UDS_ALIGNLEFT) ? tl.x + w : tl.x, tl.y, bw - w, bh, TRUE);
    MoveWindow(hwnd, (Style() & UDS_ALIGNLEFT) ? tl.x : tl.x + bw - w, tl.y, w, bh, TRUE);
  }

  void ShowInBuddy() {
    Redraw();
    if (!buddy_ || !(Style() & UDS_SETBUDDYINT)) return;
    std::string s = base_ == 16 ? Format("0x%X", {pos_}) : std::to_string(pos_);
    if (base_ == 10 && !(Style() & UDS_NOTHOUSANDS)) {
      // Thousands separated by the user's separator.
      const bool neg = s[0] == '-';
      std::string digits = neg ? s.substr(1) : s, out;
      for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += FormatSettings().ThousandSeparator;
        out += digits[i];
      }
      s = (neg ? "-" : "") + out;
    }
    SetWindowTextW(buddy_, s.c_str());
  }

  // Takes the buddy's number when there is one; false when its text is no number.
  bool ReadBuddy() {
    if (!buddy_ || !(Style() & UDS_SETBUDDYINT)) return true;
    char buf[64];
    GetWindowTextW(buddy_, buf, sizeof(buf));
    std::string digits;
    for (const char* p = buf; *p; ++p)
      if ((*p >= '0' && *p <= '9') || (*p == '-' && digits.empty()) || (base_ == 16 && isxdigit(*p))) digits += *p;
    if (digits.empty() || digits == "-") return false;
    pos_ = Clamp(int(strtol(digits.c_str(), nullptr, base_)));
    return true;
  }

  int lower_ = 100, upper_ = 0;  // the default range runs down
  int pos_ = 0;
  int base_ = 10;
  HWND buddy_ = nullptr;
  int pressed_ = 0;  // 1 up, 2 down
};

}  // namespace

LRESULT ProgressWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<Progress>(wnd, msg, wp, lp); }
LRESULT UpDownWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<UpDown>(wnd, msg, wp, lp); }

}  // namespace win
