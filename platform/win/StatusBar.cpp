// "msctls_statusbar32": a bar along the parent's bottom edge, cut into parts
// by their right edges (SB_SETPARTS), each with its text or drawn by the
// parent (SBT_OWNERDRAW); or one simple part over the whole bar (SB_SIMPLE).
// With SBARS_SIZEGRIP its bottom-right corner sizes the top-level window.

#include <algorithm>
#include <cstring>

#include "platform/win/ControlsInternal.h"

namespace win {

void AlignToParent(HWND wnd, int height, bool bottom) {
  const DWORD style = DWORD(GetWindowLongPtrW(wnd, GWL_STYLE));
  HWND parent = GetParent(wnd);
  if (!parent || (style & CCS_NORESIZE)) return;
  RECT pc, me;
  GetClientRect(parent, &pc);
  GetWindowRect(wnd, &me);
  POINT at{me.left, me.top};
  ScreenToClient(parent, &at);
  if (style & CCS_NOPARENTALIGN) {
    SetWindowPos(wnd, nullptr, 0, 0, me.right - me.left, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    return;
  }
  const DWORD place = style & CCS_BOTTOM;
  if (place == CCS_BOTTOM || (bottom && place != CCS_TOP && place != CCS_NOMOVEY)) at.y = pc.bottom - height;
  else if (place != CCS_NOMOVEY) at.y = 0;
  SetWindowPos(wnd, nullptr, 0, at.y, pc.right, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

constexpr int kBorderX = 0;      // SB_GETBORDERS: horizontal, vertical, between parts
constexpr int kBorderY = 2;
constexpr int kBetween = 2;
constexpr int kMaxParts = 256;

struct Part {
  int right = -1;  // client x of the right edge; -1: to the bar's end
  std::string text;
  WPARAM type = 0;  // SBT_* flags
  LPARAM data = 0;  // what an owner-drawn part hands to WM_DRAWITEM
};

class StatusBar : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_CREATE:
        parts_.resize(1);
        Place();
        break;
      case WM_SIZE:
        // The parent passes its own WM_SIZE on: the bar takes its place again.
        if (!placing_) Place();
        return 0;
      case SB_SETPARTS: {
        const int n = int(wp);
        const int* rights = reinterpret_cast<const int*>(lp);
        if (n <= 0 || n > kMaxParts || !rights) return FALSE;
        parts_.resize(size_t(n));
        for (int i = 0; i < n; ++i) parts_[size_t(i)].right = rights[i];
        Redraw();
        return TRUE;
      }
      case SB_GETPARTS: {
        if (auto* out = reinterpret_cast<int*>(lp))
          for (int i = 0; i < std::min(int(wp), int(parts_.size())); ++i) out[i] = parts_[size_t(i)].right;
        return LRESULT(parts_.size());
      }
      case SB_GETBORDERS: {
        if (auto* out = reinterpret_cast<int*>(lp)) {
          out[0] = kBorderX;
          out[1] = kBorderY;
          out[2] = kBetween;
        }
        return TRUE;
      }
      case SB_SETMINHEIGHT:
        minHeight_ = int(wp);
        return 0;
      case SB_SIMPLE: {
        const bool simple = wp != 0;
        if (simple == simple_) return 0;
        simple_ = simple;
        Notify(SBN_SIMPLEMODECHANGE);
        Redraw();
        return 0;
      }
      case SB_ISSIMPLE: return simple_ ? TRUE : FALSE;
      case SB_GETRECT: {
        auto* r = reinterpret_cast<RECT*>(lp);
        const int i = int(wp);
        if (!r) return FALSE;
        if (simple_) {
          *r = Client();
          return TRUE;
        }
        if (i < 0 || i >= int(parts_.size())) return FALSE;
        *r = PartRect(i);
        return TRUE;
      }
      case SB_SETTEXTW: case SB_SETTEXTA: {
        Part* p = PartOf(wp & 0xFF);
        if (!p) return FALSE;
        p->type = wp & 0xFF00;
        if (p->type & SBT_OWNERDRAW) {
          p->data = lp;
          p->text.clear();
        } else {
          p->text = lp ? reinterpret_cast<const char*>(lp) : "";
        }
        Redraw();
        return TRUE;
      }
      case SB_GETTEXTW: case SB_GETTEXTA: case SB_GETTEXTLENGTHW: case SB_GETTEXTLENGTHA: {
        const Part* p = PartOf(wp & 0xFF);
        if (!p) return 0;
        if (p->type & SBT_OWNERDRAW) return msg == SB_GETTEXTW || msg == SB_GETTEXTA ? p->data : 0;
        if ((msg == SB_GETTEXTW || msg == SB_GETTEXTA) && lp) {
          char* out = reinterpret_cast<char*>(lp);
          memcpy(out, p->text.c_str(), p->text.size() + 1);
        }
        return MAKELRESULT(int(p->text.size()), int(p->type));
      }
      case SB_SETBKCOLOR: {
        const COLORREF old = bk_;
        bk_ = COLORREF(lp);
        Redraw();
        return old;
      }
      case WM_SETTEXT: {
        // The window's text is the first part's (the simple part's in simple mode).
        const LRESULT r = Control::Handle(msg, wp, lp);
        if (Part* p = PartOf(simple_ ? SB_SIMPLEID : 0)) {
          p->text = lp ? reinterpret_cast<const char*>(lp) : "";
          p->type = 0;
        }
        Redraw();
        return r;
      }
      case WM_SETFONT: {
        const LRESULT r = Control::Handle(msg, wp, lp);
        Place();
        return r;
      }
      case WM_NCHITTEST: {
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ScreenToClient(hwnd, &p);
        const RECT g = GripRect();
        if (HasGrip() && PtInRect(&g, p)) return HTBOTTOMRIGHT;
        break;
      }
      case WM_NCLBUTTONDOWN:
        // The grip sizes the top-level window, not the bar.
        if (wp == WPARAM(HTBOTTOMRIGHT)) {
          SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_SIZE + WMSZ_BOTTOMRIGHT, lp);
          return 0;
        }
        break;
      case WM_SETCURSOR:
        if (LOWORD(lp) == HTBOTTOMRIGHT) {
          SetCursor(LoadCursorW(nullptr, IDC_SIZENWSE));
          return TRUE;
        }
        break;
      case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: {
        NMMOUSE m;
        m.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        m.dwItemSpec = ULONG_PTR(PartAt(m.pt));
        Notify(msg == WM_LBUTTONUP ? NM_CLICK : msg == WM_RBUTTONUP ? NM_RCLICK
               : msg == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_RDBLCLK, &m.hdr);
        return 0;
      }
      case WM_ERASEBKGND: return 1;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const RECT c = Client();
    FillColorOr(dc, c, bk_, COLOR_BTNFACE);
    if (simple_) {
      DrawPart(dc, simplePart_, RECT{c.left, c.top + kBorderY, c.right, c.bottom}, -1);
    } else {
      for (int i = 0; i < int(parts_.size()); ++i) DrawPart(dc, parts_[size_t(i)], PartRect(i), i);
    }
    if (HasGrip()) DrawGrip(dc, GripRect());
  }

 private:
  // Where a part index of SB_SETTEXT / SB_GETTEXT leads: SB_SIMPLEID is the simple part.
  Part* PartOf(WPARAM index) {
    if (index == SB_SIMPLEID) return &simplePart_;
    return index < parts_.size() ? &parts_[index] : nullptr;
  }

  bool HasGrip() const {
    // Only while the top-level window can be sized and is not maximised.
    HWND root = GetAncestor(hwnd, GA_ROOT);
    const DWORD rs = DWORD(GetWindowLongPtrW(root, GWL_STYLE));
    return (Style() & SBARS_SIZEGRIP) && (rs & WS_THICKFRAME) && !(rs & WS_MAXIMIZE);
  }
  RECT GripRect() const {
    const RECT c = Client();
    const int size = GetSystemMetrics(SM_CXVSCROLL);
    return RECT{c.right - size, std::max(c.top, c.bottom - size), c.right, c.bottom};
  }

  RECT PartRect(int i) const {
    const RECT c = Client();
    const int left = i == 0 ? kBorderX : PartRight(i - 1) + kBetween;
    return RECT{left, c.top + kBorderY, std::max(left, PartRight(i)), c.bottom};
  }
  int PartRight(int i) const {
    const int r = parts_[size_t(i)].right;
    const int end = Client().right - kBorderX;
    return r < 0 || r > end ? end : r;
  }
  int PartAt(POINT p) const {
    if (simple_) return int(SB_SIMPLEID);
    for (int i = 0; i < int(parts_.size()); ++i) {
      const RECT r = PartRect(i);
      if (PtInRect(&r, p)) return i;
    }
    return -1;
  }

  void DrawPart(HDC dc, const Part& p, const RECT& r, int index) {
    if (!(p.type & SBT_NOBORDERS)) DrawEdge3d(dc, r, (p.type & SBT_POPOUT) != 0, true);
    RECT in = r;
    InflateRect(&in, -1, -1);
    if (p.type & SBT_OWNERDRAW) {
      DrawItem(0, UINT(index < 0 ? int(SB_SIMPLEID) : index), 0, dc, in, ULONG_PTR(p.data));
      return;
    }
    // Tabs split the text into left, centred and right-aligned pieces.
    std::string pieces[3];
    int k = 0;
    for (char ch : p.text) {
      if (ch == '\t' && !(p.type & SBT_NOTABPARSING) && k < 2) ++k;
      else pieces[k] += ch;
    }
    RECT t = in;
    t.left += 2;
    t.right -= 2;
    const UINT align[3] = {DT_LEFT, DT_CENTER, DT_RIGHT};
    for (int i = 0; i < 3; ++i)
      if (!pieces[i].empty())
        DrawLabel(dc, Font(), pieces[i], t, align[i] | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS,
                  GetSysColor(COLOR_BTNTEXT));
  }

  void DrawGrip(HDC dc, const RECT& g) {
    // Three diagonal ridges toward the corner.
    for (int k = 0; k < 3; ++k) {
      const int d = 4 + k * 4;
      for (int i = 0; i < d; ++i) {
        RECT light{g.right - d + i, g.bottom - 1 - i, g.right - d + i + 1, g.bottom - i};
        RECT dark{g.right - d + i + 1, g.bottom - 1 - i, g.right - d + i + 2, g.bottom - i};
        FillSys(dc, light, COLOR_BTNHIGHLIGHT);
        if (dark.right <= g.right) FillSys(dc, dark, COLOR_BTNSHADOW);
      }
    }
  }

  int Height() const {
    return std::max(minHeight_, FontHeight(Font()) + 2 * kBorderY + 6);
  }
  void Place() {
    placing_ = true;
    AlignToParent(hwnd, Height(), true);
    placing_ = false;
  }

  std::vector<Part> parts_{Part{}};
  Part simplePart_;
  bool simple_ = false;
  bool placing_ = false;
  int minHeight_ = 0;
  COLORREF bk_ = CLR_DEFAULT;
};

}  // namespace

LRESULT StatusBarWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  return ControlProc<StatusBar>(wnd, msg, wp, lp);
}

}  // namespace win
