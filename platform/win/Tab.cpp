// "SysTabControl32": a strip of tabs on one side of a page frame. One tab is
// selected; the parent hears TCN_SELCHANGING (which may refuse) and
// TCN_SELCHANGE when the user picks another. Tabs that do not fit one row
// either wrap into rows (TCS_MULTILINE, the selected row next to the frame)
// or scroll with a "msctls_updown32" child at the strip's end.

#include <algorithm>
#include <cstring>

#include "platform/win/ControlsInternal.h"
#include "platform/win/ListViews.h"

namespace win {

namespace {

constexpr int kPadding = 6;      // text to tab edge, each side
constexpr int kLift = 2;         // how far the selected tab stands out
constexpr int kFrameInset = 4;   // page frame to display rect, sides away from the tabs
constexpr int kUpDownSize = 32;  // width of the scroll arrows of a single row
constexpr int kUpDownId = 1;

struct TabItem {
  std::string text;
  int image = -1;
  DWORD state = 0;
  LPARAM param = 0;
  int row = 0;     // 0: farthest from the frame
  int offset = 0;  // along the strip, before scrolling
  int length = 0;
};

enum class Side { Top, Bottom, Left, Right };

class Tab : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case TCM_GETITEMCOUNT: return LRESULT(items_.size());
      case TCM_INSERTITEMW: return Insert(int(wp), reinterpret_cast<const TCITEMW*>(lp));
      case TCM_SETITEMW: return SetItem(int(wp), reinterpret_cast<const TCITEMW*>(lp));
      case TCM_GETITEMW: return GetItem(int(wp), reinterpret_cast<TCITEMW*>(lp));
      case TCM_DELETEITEM: return Delete(int(wp));
      case TCM_DELETEALLITEMS:
        items_.clear();
        cur_ = -1;
        first_ = 0;
        Relayout();
        return TRUE;
      case TCM_GETCURSEL: return cur_;
      case TCM_GETCURFOCUS: return cur_;
      case TCM_SETCURSEL: {
        // Programmatic selection sends no notification; only the user's does.
        const int i = int(wp);
        if (i < 0 || i >= Count()) return -1;
        const int old = cur_;
        Select(i);
        return old;
      }
      case TCM_SETCURFOCUS:
        if (int(wp) >= 0 && int(wp) < Count()) Pick(int(wp));
        return 0;
      case TCM_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lp);
        if (!r || int(wp) < 0 || int(wp) >= Count()) return FALSE;
        *r = ItemRect(int(wp));
        return TRUE;
      }
      case TCM_HITTEST: {
        auto* info = reinterpret_cast<TCHITTESTINFO*>(lp);
        if (!info) return -1;
        const int i = HitTest(info->pt);
        info->flags = i < 0 ? TCHT_NOWHERE : TCHT_ONITEMLABEL;
        return i;
      }
      case TCM_ADJUSTRECT: {
        if (auto* r = reinterpret_cast<RECT*>(lp)) Adjust(r, wp != 0);
        return 0;
      }
      case TCM_GETROWCOUNT: return rows_;
      case TCM_GETIMAGELIST: return LRESULT(images_);
      case TCM_SETIMAGELIST: {
        HIMAGELIST old = images_;
        images_ = reinterpret_cast<HIMAGELIST>(lp);
        Relayout();
        return LRESULT(old);
      }
      case TCM_SETITEMSIZE: {
        const LRESULT old = MAKELRESULT(fixedWidth_ ? fixedWidth_ : 0, RowHeight());
        fixedWidth_ = LOWORD(lp);
        fixedHeight_ = HIWORD(lp);
        Relayout();
        return old;
      }
      case TCM_SETMINTABWIDTH: {
        const int old = minWidth_;
        minWidth_ = int(lp) < 0 ? 0 : int(lp);
        Relayout();
        return old;
      }
      case TCM_SETPADDING: return 0;
      case WM_SETFONT: {
        const LRESULT r = Control::Handle(msg, wp, lp);
        Relayout();
        return r;
      }
      case WM_SIZE:
        Relayout();
        return 0;
      case WM_HSCROLL: case WM_VSCROLL:
        // The scroll arrows of a single row move its first visible tab.
        if (reinterpret_cast<HWND>(lp) == upDown_ && LOWORD(wp) == SB_THUMBPOSITION) {
          first_ = std::clamp(int(int16_t(HIWORD(wp))), 0, std::max(0, Count() - 1));
          Redraw();
        }
        return 0;
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: {
        const int i = HitTest(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        if (!(Style() & TCS_FOCUSNEVER) && (i >= 0 || !(Style() & TCS_BUTTONS))) SetFocus(hwnd);
        if (i >= 0) Pick(i);
        return 0;
      }
      case WM_LBUTTONUP: {
        Notify(NM_CLICK);
        return 0;
      }
      case WM_RBUTTONUP: {
        Notify(NM_RCLICK);
        return 0;
      }
      case WM_KEYDOWN: {
        NMTCKEYDOWN k;
        k.wVKey = WORD(wp);
        k.flags = UINT(lp);
        Notify(TCN_KEYDOWN, &k.hdr);
        const bool vertical = Style() & TCS_VERTICAL;
        const int back = vertical ? VK_UP : VK_LEFT, forward = vertical ? VK_DOWN : VK_RIGHT;
        if (int(wp) == back && cur_ > 0) Pick(cur_ - 1);
        else if (int(wp) == forward && cur_ + 1 < Count()) Pick(cur_ + 1);
        return 0;
      }
      case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
      case WM_SETFOCUS: case WM_KILLFOCUS: {
        if (cur_ >= 0) {
          RECT r = ItemRect(cur_);
          InflateRect(&r, kLift, kLift);
          InvalidateRect(hwnd, &r, TRUE);
        }
        Notify(msg == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
        return 0;
      }
      case WM_ERASEBKGND: return 1;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const RECT c = Client();
    HBRUSH bk = ParentBrush(dc, WM_CTLCOLORDLG);
    FillRect(dc, &c, bk ? bk : GetSysColorBrush(COLOR_BTNFACE));
    const bool buttons = Style() & (TCS_BUTTONS | TCS_FLATBUTTONS);
    if (!buttons && Count() > 0) DrawEdge3d(dc, FrameRect(), true);
    else if (!buttons) DrawEdge3d(dc, c, true);
    for (int i = 0; i < Count(); ++i)
      if (i != cur_) DrawTab(dc, i, false);
    if (cur_ >= 0) DrawTab(dc, cur_, true);
  }

 private:
  int Count() const { return int(items_.size()); }
  Side SideOf() const {
    const DWORD s = Style();
    if (s & TCS_VERTICAL) return (s & TCS_RIGHT) ? Side::Right : Side::Left;
    return (s & TCS_BOTTOM) ? Side::Bottom : Side::Top;
  }
  bool Vertical() const { return SideOf() == Side::Left || SideOf() == Side::Right; }
  int RowHeight() const {
    return fixedHeight_ > 0 ? fixedHeight_ : std::max(FontHeight(Font()), ImageSize().cy) + kPadding;
  }
  // The list's icon size, or nothing while there is no list.
  SIZE ImageSize() const {
    int cx = 0, cy = 0;
    if (images_ && !ImageList_GetIconSize(images_, &cx, &cy)) cx = cy = 0;
    return SIZE{cx, cy};
  }
  bool HasImage(const TabItem& t) const {
    return images_ && t.image >= 0 && t.image < ImageList_GetImageCount(images_);
  }
  int StripLength() const {
    const RECT c = Client();
    return Vertical() ? c.bottom - c.top : c.right - c.left;
  }
  // Rows times their height, plus room for the selected tab to stand out.
  int StripThickness() const { return Count() ? rows_ * RowHeight() + kLift : 0; }

  LRESULT Insert(int at, const TCITEMW* item) {
    if (!item || at < 0) return -1;
    at = std::min(at, Count());
    TabItem t;
    Assign(t, *item);
    items_.insert(items_.begin() + at, t);
    if (cur_ < 0) cur_ = 0;  // the first tab inserted becomes the selected one
    else if (at <= cur_) ++cur_;
    Relayout();
    return at;
  }

  LRESULT SetItem(int i, const TCITEMW* item) {
    if (!item || i < 0 || i >= Count()) return FALSE;
    Assign(items_[size_t(i)], *item);
    Relayout();
    return TRUE;
  }

  static void Assign(TabItem& t, const TCITEMW& item) {
    if ((item.mask & TCIF_TEXT) && item.pszText) t.text = item.pszText;
    if (item.mask & TCIF_IMAGE) t.image = item.iImage;
    if (item.mask & TCIF_PARAM) t.param = item.lParam;
    if (item.mask & TCIF_STATE) t.state = (t.state & ~item.dwStateMask) | (item.dwState & item.dwStateMask);
  }

  LRESULT GetItem(int i, TCITEMW* item) const {
    if (!item || i < 0 || i >= Count()) return FALSE;
    const TabItem& t = items_[size_t(i)];
    if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0) {
      // Cut to the caller's buffer, never inside a UTF-8 sequence.
      size_t n = std::min(t.text.size(), size_t(item->cchTextMax - 1));
      while (n > 0 && n < t.text.size() && (uint8_t(t.text[n]) & 0xC0) == 0x80) --n;
      memcpy(item->pszText, t.text.data(), n);
      item->pszText[n] = 0;
    }
    if (item->mask & TCIF_IMAGE) item->iImage = t.image;
    if (item->mask & TCIF_PARAM) item->lParam = t.param;
    if (item->mask & TCIF_STATE) item->dwState = t.state & item->dwStateMask;
    return TRUE;
  }

  LRESULT Delete(int i) {
    if (i < 0 || i >= Count()) return FALSE;
    items_.erase(items_.begin() + i);
    if (i < cur_) --cur_;
    else if (i == cur_) cur_ = -1;
    first_ = std::min(first_, std::max(0, Count() - 1));
    Relayout();
    return TRUE;
  }

  // A user's pick: the parent may refuse it while the old tab is still selected.
  void Pick(int i) {
    if (i == cur_) return;
    if (Notify(TCN_SELCHANGING)) return;
    Select(i);
    Notify(TCN_SELCHANGE);
  }

  void Select(int i) {
    if (i == cur_) return;
    cur_ = i;
    if (Style() & TCS_MULTILINE) Relayout();  // the selected row moves next to the frame
    else if (upDown_ && (i < first_ || !FitsFrom(first_, i))) {
      while (first_ < i && !FitsFrom(first_, i)) ++first_;
      if (i < first_) first_ = i;
      SendMessageW(upDown_, UDM_SETPOS32, 0, first_);
    }
    Redraw();
  }

  int ItemLength(const TabItem& t) const {
    if ((Style() & TCS_FIXEDWIDTH) && fixedWidth_ > 0) return fixedWidth_;
    const int image = HasImage(t) ? ImageSize().cx + kPadding : 0;
    return std::max(minWidth_, image + TextWidth(Font(), t.text) + 2 * kPadding);
  }

  bool FitsFrom(int first, int i) const {
    const TabItem& a = items_[size_t(first)];
    const TabItem& b = items_[size_t(i)];
    return b.offset + b.length - a.offset <= StripLength() - (upDown_ ? kUpDownSize : 0);
  }

  void Relayout() {
    const int length = StripLength();
    const bool multi = Style() & TCS_MULTILINE;
    int row = 0, at = 0;
    for (TabItem& t : items_) {
      t.length = ItemLength(t);
      if (multi && at > 0 && at + t.length > length) {
        ++row;
        at = 0;
      }
      t.row = row;
      t.offset = at;
      at += t.length;
    }
    rows_ = items_.empty() ? 0 : row + 1;
    if (multi && cur_ >= 0 && rows_ > 1) {
      // The selected row goes next to the frame; the rows beyond it move out by one.
      const int sel = items_[size_t(cur_)].row;
      for (TabItem& t : items_) {
        if (t.row == sel) t.row = rows_ - 1;
        else if (t.row > sel) t.row -= 1;
      }
    }
    UpdateScrollArrows(multi ? 0 : at);
    Redraw();
  }

  void UpdateScrollArrows(int total) {
    const bool need = !items_.empty() && total > StripLength();
    if (need && !upDown_) {
      upDown_ = CreateWindowExW(0, UPDOWN_CLASSW, "", WS_CHILD | WS_VISIBLE | UDS_HORZ, 0, 0, 0, 0, hwnd,
                                reinterpret_cast<HMENU>(uintptr_t(kUpDownId)), nullptr, nullptr);
    } else if (!need && upDown_) {
      HWND old = upDown_;
      upDown_ = nullptr;
      first_ = 0;
      DestroyWindow(old);
    }
    if (!upDown_) return;
    SendMessageW(upDown_, UDM_SETRANGE32, 0, std::max(0, Count() - 1));
    first_ = std::min(first_, Count() - 1);
    SendMessageW(upDown_, UDM_SETPOS32, 0, first_);
    const RECT c = Client();
    const int h = RowHeight();
    const int y = SideOf() == Side::Bottom ? c.bottom - kLift - h : kLift;
    SetWindowPos(upDown_, nullptr, c.right - kUpDownSize, y, kUpDownSize, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // A tab's rectangle without the lift of selection, in client coordinates.
  RECT ItemRect(int i) const {
    const TabItem& t = items_[size_t(i)];
    const int h = RowHeight();
    const int scroll = first_ > 0 && first_ < Count() ? items_[size_t(first_)].offset : 0;
    const int along = t.offset - scroll;
    const int across = kLift + t.row * h;  // from the outer edge
    const RECT c = Client();
    switch (SideOf()) {
      case Side::Top: return RECT{along, across, along + t.length, across + h};
      case Side::Bottom: return RECT{along, c.bottom - across - h, along + t.length, c.bottom - across};
      case Side::Left: return RECT{across, along, across + h, along + t.length};
      case Side::Right: return RECT{c.right - across - h, along, c.right - across, along + t.length};
    }
    return RECT{};
  }

  // The page frame: the window less the tab strip.
  RECT FrameRect() const {
    RECT r = Client();
    const int strip = StripThickness();
    switch (SideOf()) {
      case Side::Top: r.top += strip; break;
      case Side::Bottom: r.bottom -= strip; break;
      case Side::Left: r.left += strip; break;
      case Side::Right: r.right -= strip; break;
    }
    return r;
  }

  // TCM_ADJUSTRECT: window rectangle to display rectangle (larger = false), or back.
  void Adjust(RECT* r, bool larger) const {
    const int strip = StripThickness();
    const bool buttons = Style() & (TCS_BUTTONS | TCS_FLATBUTTONS);
    const int inset = buttons ? 0 : kFrameInset;
    const int tabSide = strip + (buttons ? 0 : kLift);
    int left = inset, top = inset, right = inset, bottom = inset;
    switch (SideOf()) {
      case Side::Top: top = tabSide; break;
      case Side::Bottom: bottom = tabSide; break;
      case Side::Left: left = tabSide; break;
      case Side::Right: right = tabSide; break;
    }
    const int k = larger ? -1 : 1;
    r->left += k * left;
    r->top += k * top;
    r->right -= k * right;
    r->bottom -= k * bottom;
  }

  int HitTest(POINT p) const {
    for (int i = 0; i < Count(); ++i) {
      const RECT r = ItemRect(i);
      if (upDown_ && i < first_) continue;
      if (PtInRect(&r, p)) return i;
    }
    return -1;
  }

  void DrawTab(HDC dc, int i, bool selected) {
    RECT r = ItemRect(i);
    if (upDown_ && i < first_) return;
    const TabItem& t = items_[size_t(i)];
    const bool buttons = Style() & (TCS_BUTTONS | TCS_FLATBUTTONS);
    if (selected && !buttons) {
      // Stands out by the lift and covers the frame's edge below it.
      InflateRect(&r, kLift, 0);
      switch (SideOf()) {
        case Side::Top: r.top -= kLift; r.bottom += kLift; break;
        case Side::Bottom: r.bottom += kLift; r.top -= kLift; break;
        case Side::Left: r.left -= kLift; r.right += kLift; InflateRect(&r, -kLift, kLift); break;
        case Side::Right: r.right += kLift; r.left -= kLift; InflateRect(&r, -kLift, kLift); break;
      }
    }
    if (Style() & TCS_OWNERDRAWFIXED) {
      DrawItem(ODT_TAB, UINT(i), selected ? ODS_SELECTED : 0, dc, r, ULONG_PTR(t.param));
      return;
    }
    FillSys(dc, r, COLOR_BTNFACE);
    if (buttons) {
      const bool down = selected || (t.state & TCIS_BUTTONPRESSED);
      if (down) DrawEdge3d(dc, r, false);
      else if (!(Style() & TCS_FLATBUTTONS)) DrawEdge3d(dc, r, true);
    } else {
      DrawTabEdges(dc, r);
    }
    RECT text = r;
    if (HasImage(t)) {
      // The image sits left of the caption; the caption centres in what is left.
      const SIZE is = ImageSize();
      const int x = r.left + kPadding;
      ImageList_Draw(images_, t.image, dc, x, r.top + (r.bottom - r.top - is.cy) / 2, ILD_TRANSPARENT);
      text.left = x + is.cx;
    }
    DrawLabel(dc, Font(), t.text, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
              GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    if (selected && Focused()) {
      InflateRect(&text, -3, -3);
      DrawFocusRectangle(dc, text);
    }
  }

  // Light edges on the outer and leading sides, dark on the trailing one; the frame side stays open.
  void DrawTabEdges(HDC dc, const RECT& r) {
    auto line = [&](int l, int t, int rr, int b, int color) {
      RECT e{l, t, rr, b};
      FillSys(dc, e, color);
    };
    switch (SideOf()) {
      case Side::Top:
        line(r.left, r.top, r.right - 1, r.top + 1, COLOR_BTNHIGHLIGHT);
        line(r.left, r.top, r.left + 1, r.bottom, COLOR_BTNHIGHLIGHT);
        line(r.right - 1, r.top + 1, r.right, r.bottom, COLOR_3DDKSHADOW);
        line(r.right - 2, r.top + 1, r.right - 1, r.bottom, COLOR_BTNSHADOW);
        break;
      case Side::Bottom:
        line(r.left, r.top, r.left + 1, r.bottom - 1, COLOR_BTNHIGHLIGHT);
        line(r.left, r.bottom - 1, r.right, r.bottom, COLOR_3DDKSHADOW);
        line(r.right - 1, r.top, r.right, r.bottom, COLOR_3DDKSHADOW);
        line(r.right - 2, r.top, r.right - 1, r.bottom - 1, COLOR_BTNSHADOW);
        break;
      case Side::Left:
        line(r.left, r.top, r.right, r.top + 1, COLOR_BTNHIGHLIGHT);
        line(r.left, r.top, r.left + 1, r.bottom - 1, COLOR_BTNHIGHLIGHT);
        line(r.left, r.bottom - 1, r.right, r.bottom, COLOR_3DDKSHADOW);
        break;
      case Side::Right:
        line(r.left, r.top, r.right - 1, r.top + 1, COLOR_BTNHIGHLIGHT);
        line(r.right - 1, r.top, r.right, r.bottom, COLOR_3DDKSHADOW);
        line(r.left, r.bottom - 1, r.right, r.bottom, COLOR_3DDKSHADOW);
        break;
    }
  }

  std::vector<TabItem> items_;
  int cur_ = -1;
  int rows_ = 0;
  int first_ = 0;  // first visible tab of a scrolled single row
  int fixedWidth_ = 0, fixedHeight_ = 0, minWidth_ = 0;
  HIMAGELIST images_ = nullptr;
  HWND upDown_ = nullptr;
};

}  // namespace

LRESULT TabWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<Tab>(wnd, msg, wp, lp); }

}  // namespace win
